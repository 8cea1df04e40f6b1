#include "gui/panes/viewerpanel.h"

#include "core/app/dialogs.h"
#include "core/panecommands/panepaths.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QVBoxLayout>

ViewerPanel::ViewerPanel(Dialogs& dialogs, QWidget* parent)
    : MovablePanel(QStringLiteral("FrmPic"), QStringLiteral("LabelPic"), QStringLiteral("ファイルの表示"), parent)
    , m_dialogs(dialogs)
    , m_nameBox(new QLineEdit(this))
    , m_textView(new QPlainTextEdit(this))
    , m_pictureView(new QLabel(this))
    , m_storeButton(new QPushButton(QStringLiteral("保存"), this))
{
    m_nameBox->setObjectName(QStringLiteral("Text4"));
    m_textView->setObjectName(QStringLiteral("RichTextBox2"));
    m_textView->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pictureView->setObjectName(QStringLiteral("Picture2"));
    m_pictureView->setAlignment(Qt::AlignCenter);
    m_pictureView->setMinimumSize(64, 64);
    m_storeButton->setObjectName(QStringLiteral("Command30"));
    m_storeButton->setToolTip(QStringLiteral("表示している内容をファイルに保存します"));

    auto* top = new QHBoxLayout;
    top->addWidget(m_nameBox, 1);
    top->addWidget(m_storeButton);
    body()->addLayout(top);
    body()->addWidget(m_textView, 1);
    body()->addWidget(m_pictureView, 1);
    m_pictureView->hide();
    addCloseButton(QStringLiteral("FrmPicClose"));
    connect(m_storeButton, &QPushButton::clicked, this, [this] { store(); });
    resize(560, 420);
    hide();
}

void ViewerPanel::showTextView()
{
    if (m_pictures)
        m_pictures->hide();
    m_pixmap = QPixmap();
    m_pictureView->clear();
    m_pictureView->hide();
    m_textView->show();
    m_storeButton->setEnabled(true);
    showInFront();
}

void ViewerPanel::showPicture()
{
    if (m_pictures)
        m_pictures->hide();
    m_textView->hide();
    m_pictureView->show();
    m_storeButton->setEnabled(false);
    showInFront();
    // The label's size is known once the panel is laid out.
    if (layout())
        layout()->activate();
    m_pictureView->setPixmap(m_pixmap.scaled(
        m_pictureView->size().expandedTo(QSize(64, 64)), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void ViewerPanel::showPicturePanel()
{
    m_textView->hide();
    m_pictureView->hide();
    m_storeButton->setEnabled(false);
    if (m_pictures)
        m_pictures->show();
    showInFront();
}

void ViewerPanel::showCheckedPage(const QString& text)
{
    m_tag.clear();
    // A colour left at the cursor by the last page must not spill into this one.
    m_textView->setCurrentCharFormat(QTextCharFormat());
    m_textView->setPlainText(text);
    showTextView();
    m_storeButton->setEnabled(false);
}

void ViewerPanel::markLink(qsizetype start, qsizetype length, bool found)
{
    QTextCursor cursor(m_textView->document());
    cursor.setPosition(int(start));
    cursor.setPosition(int(start + length), QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setForeground(found ? QColor(0, 0, 255) : QColor(255, 0, 0));
    cursor.mergeCharFormat(format);
    if (!found) {
        // The missing link in sight, nothing selected.
        cursor.clearSelection();
        m_textView->setTextCursor(cursor);
        m_textView->ensureCursorVisible();
    }
}

bool ViewerPanel::showLocalText(const QString& path)
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
    m_nameBox->setText(info.fileName());
    m_textView->setPlainText(text.text);
    m_tag = QStringLiteral("LOCAL");
    showTextView();
    return true;
}

bool ViewerPanel::showLocalPicture(const QString& path)
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
    m_nameBox->setText(QFileInfo(path).fileName());
    m_localFolder = QFileInfo(path).absolutePath();
    m_tag = QStringLiteral("LOCAL");
    showPicture();
    return true;
}

void ViewerPanel::showServerText(const QString& text, const QString& ftpName)
{
    m_nameBox->setText(ftpName);
    m_textView->setPlainText(text);
    m_tag = QStringLiteral("FTP");
    showTextView();
}

bool ViewerPanel::store()
{
    if (m_tag == QLatin1String("FTP")) {
        if (!m_storeOnServer || m_nameBox->text().trimmed().isEmpty())
            return false;
        m_storeOnServer(m_textView->toPlainText(), m_nameBox->text().trimmed());
        return true;
    }
    if (m_tag != QLatin1String("LOCAL") || m_textView->isHidden())
        return false;
    const QString name = m_nameBox->text().trimmed();
    if (!PanePaths::isPlainName(name))
        return false;
    if (!m_local.exact
        && m_dialogs.message(name + QStringLiteral(" は元の文字コードで表せない文字を含んでいました。保存しますか?"),
               Dialogs::Buttons::YesNo, Dialogs::Icon::Question)
            != Dialogs::Answer::Yes)
        return false;
    ViewerText out = m_local;
    out.text = m_textView->toPlainText();
    QString error;
    if (!out.save(PanePaths::join(m_localFolder, name), &error)) {
        m_dialogs.message(error, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    return true;
}

void ViewerPanel::resizeEvent(QResizeEvent* event)
{
    MovablePanel::resizeEvent(event);
    if (!m_pixmap.isNull() && m_pictureView->isVisible())
        m_pictureView->setPixmap(m_pixmap.scaled(m_pictureView->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
