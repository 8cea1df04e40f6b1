#include "gui/panes/frmpic.h"

#include "core/app/dialogs.h"
#include "core/panecommands/panepaths.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

FrmPic::FrmPic(Dialogs& dialogs, QWidget* parent)
    : MovablePanel(QStringLiteral("FrmPic"), QStringLiteral("LabelPic"), QStringLiteral("ファイルの表示"), parent)
    , m_dialogs(dialogs)
    , m_text4(new QLineEdit(this))
    , m_richTextBox2(new QPlainTextEdit(this))
    , m_picture2(new QLabel(this))
    , m_command30(new QPushButton(QStringLiteral("保存"), this))
{
    m_text4->setObjectName(QStringLiteral("Text4"));
    m_richTextBox2->setObjectName(QStringLiteral("RichTextBox2"));
    m_richTextBox2->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setAlignment(Qt::AlignCenter);
    m_picture2->setMinimumSize(64, 64);
    m_command30->setObjectName(QStringLiteral("Command30"));
    m_command30->setToolTip(QStringLiteral("表示している内容をファイルに保存します"));

    auto* top = new QHBoxLayout;
    top->addWidget(m_text4, 1);
    top->addWidget(m_command30);
    body()->addLayout(top);
    body()->addWidget(m_richTextBox2, 1);
    body()->addWidget(m_picture2, 1);
    m_picture2->hide();
    addCloseButton(QStringLiteral("FrmPicClose"));
    connect(m_command30, &QPushButton::clicked, this, [this] { Command30_Click(); });
    resize(560, 420);
    hide();
}

void FrmPic::showTextView()
{
    m_pixmap = QPixmap();
    m_picture2->clear();
    m_picture2->hide();
    m_richTextBox2->show();
    m_command30->setEnabled(true);
    showInFront();
}

void FrmPic::showPicture()
{
    m_richTextBox2->hide();
    m_picture2->show();
    m_command30->setEnabled(false);
    showInFront();
    // The label's size is known once the panel is laid out.
    if (layout())
        layout()->activate();
    m_picture2->setPixmap(
        m_pixmap.scaled(m_picture2->size().expandedTo(QSize(64, 64)), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

bool FrmPic::showLocalText(const QString& path)
{
    ViewerText text;
    QString error;
    if (!ViewerText::load(path, &text, &error)) {
        m_dialogs.message(error, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    m_local = text;
    const QFileInfo info(path);
    m_localFolder = info.absolutePath();
    m_text4->setText(info.fileName());
    m_richTextBox2->setPlainText(text.text);
    m_tag = QStringLiteral("LOCAL");
    showTextView();
    return true;
}

bool FrmPic::showLocalPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // A hostile picture must not claim gigabytes.
    if (reader.size().isValid() && qint64(reader.size().width()) * reader.size().height() > 100'000'000)
        return false;
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    m_pixmap = QPixmap::fromImage(image);
    m_text4->setText(QFileInfo(path).fileName());
    m_localFolder = QFileInfo(path).absolutePath();
    m_tag = QStringLiteral("LOCAL");
    showPicture();
    return true;
}

void FrmPic::showServerText(const QString& text, const QString& ftpName)
{
    m_text4->setText(ftpName);
    m_richTextBox2->setPlainText(text);
    m_tag = QStringLiteral("FTP");
    showTextView();
}

bool FrmPic::Command30_Click()
{
    if (m_tag == QLatin1String("FTP")) {
        if (!m_storeOnServer || m_text4->text().trimmed().isEmpty())
            return false;
        m_storeOnServer(m_richTextBox2->toPlainText(), m_text4->text().trimmed());
        return true;
    }
    if (m_tag != QLatin1String("LOCAL") || m_richTextBox2->isHidden())
        return false;
    const QString name = m_text4->text().trimmed();
    if (!PanePaths::isPlainName(name))
        return false;
    if (!m_local.exact
        && m_dialogs.message(name + QStringLiteral(" は元の文字コードで表せない文字を含んでいました。保存しますか?"),
               Dialogs::Buttons::YesNo, Dialogs::Icon::Question)
            != Dialogs::Answer::Yes)
        return false;
    ViewerText out = m_local;
    out.text = m_richTextBox2->toPlainText();
    QString error;
    if (!out.save(PanePaths::join(m_localFolder, name), &error)) {
        m_dialogs.message(error, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    return true;
}

void FrmPic::resizeEvent(QResizeEvent* event)
{
    MovablePanel::resizeEvent(event);
    if (!m_pixmap.isNull() && m_picture2->isVisible())
        m_picture2->setPixmap(m_pixmap.scaled(m_picture2->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
