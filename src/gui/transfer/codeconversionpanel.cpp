#include "gui/transfer/codeconversionpanel.h"

#include "core/app/dialogs.h"
#include "core/transfer/textconvert.h"
#include "gui/settings/panelcontrols.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace PanelControls;

CodeConversionPanel::CodeConversionPanel(Dialogs& dialogs, std::function<QString()> localFolder, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame13"), QStringLiteral("Labe1281"), QStringLiteral("文字コード変換"), parent)
    , m_dialogs(dialogs)
    , m_localFolder(std::move(localFolder))
    , m_option3 {}
    , m_text16 { lineEdit(QStringLiteral("Text16_0"), this), lineEdit(QStringLiteral("Text16_1"), this) }
    , m_browse { button(QStringLiteral("Browse16_0"), QStringLiteral("..."), this),
        button(QStringLiteral("Browse16_1"), QStringLiteral("..."), this) }
    , m_run(button(QStringLiteral("CmdRun"), QStringLiteral("実行"), this))
    , m_cancel(button(QStringLiteral("CmdCancel"), QStringLiteral("キャンセル"), this))
{
    static const char16_t* const captions[4] = {
        u"Shift-Jis -> EUC",
        u"EUC -> Shift-Jis",
        u"半角カナ -> 全角カナ",
        u"全角カナ　-> 半角カナ",
    };
    auto* group = new QButtonGroup(this);
    auto* options = new QGridLayout;
    for (int i = 0; i < 4; ++i) {
        m_option3[i] = new QRadioButton(QString::fromUtf16(captions[i]), this);
        m_option3[i]->setObjectName(QStringLiteral("Option3_%1").arg(i));
        group->addButton(m_option3[i], i);
        options->addWidget(m_option3[i], i / 2, i % 2);
    }
    m_option3[0]->setChecked(true);
    body()->addLayout(options);

    auto* paths = new QGridLayout;
    paths->addWidget(label(QStringLiteral("Label16_0"), QStringLiteral("入力ファイル"), this), 0, 0);
    paths->addWidget(label(QStringLiteral("Label16_1"), QStringLiteral("出力ファイル"), this), 1, 0);
    for (int i = 0; i < 2; ++i) {
        paths->addWidget(m_text16[i], i, 1);
        m_browse[i]->setFixedWidth(28);
        paths->addWidget(m_browse[i], i, 2);
        connect(m_browse[i], &QPushButton::clicked, this, [this, i] { browse(i); });
    }
    body()->addLayout(paths);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_run);
    buttons->addWidget(m_cancel);
    body()->addLayout(buttons);

    connect(m_run, &QPushButton::clicked, this, &CodeConversionPanel::RunCodeConversion);
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::hide);
    hide();
}

void CodeConversionPanel::open()
{
    // 1000, 1000, 5325 and 3225 twips; wider where the captions need it.
    setGeometry(QRect(QPoint(67, 67), QSize(355, 215).expandedTo(sizeHint())));
    m_text16[0]->setText(m_localFolder());
    showInFront();
}

void CodeConversionPanel::browse(int index)
{
    const QString path = m_dialogs.openFileName(QStringLiteral("ファイルを開く"), m_localFolder(), QString());
    if (!path.isEmpty())
        m_text16[index]->setText(path);
}

void CodeConversionPanel::RunCodeConversion()
{
    const QString input = m_text16[0]->text();
    const QString output = m_text16[1]->text();
    bool ok = false;
    if (m_option3[0]->isChecked()) {
        ok = TextConvert::SjisFileToEuc(input, output);
    } else if (m_option3[1]->isChecked()) {
        TextConvert::Error error;
        ok = TextConvert::EucFileToSjis(input, output, &error);
        if (!ok)
            m_dialogs.message(
                error.messageText(), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation, TextConvert::eucErrorTitle());
    } else if (m_option3[2]->isChecked()) {
        ok = TextConvert::HalfKanaToFull(input, output);
    } else if (m_option3[3]->isChecked()) {
        ok = TextConvert::FullKanaToHalf(input, output);
    }
    m_dialogs.message(ok ? QStringLiteral("変換しました。") : QStringLiteral("変換は失敗しました。"));
}
