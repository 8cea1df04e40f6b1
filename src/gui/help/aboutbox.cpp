#include "gui/help/aboutbox.h"

#include "core/app/dialogs.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

QLabel* label(const char* name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

const QString NoSystemInfo = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");

} // namespace

AboutBox::AboutBox(Dialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("バージョン情報"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(QIcon(QStringLiteral(":/ftptarvo.png")).pixmap(48, 48));

    QLabel* title = label("lblTitle", QStringLiteral("FTPTarvo"), this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);
    QLabel* version = label("lblVersion", versionText(), this);
    QLabel* description = label("lblDescription", QStringLiteral("　　  FTP ソフト  "), this);

    const QStringList notice = noticeLines();
    QLabel* disclaimer = label("lblDisclaimer", notice.first(), this);
    disclaimer->setWordWrap(true);
    auto* text = new QPlainTextEdit(notice.join(u'\n'), this);
    text->setObjectName(QStringLiteral("Text1"));
    text->setReadOnly(true);
    text->setMinimumHeight(text->fontMetrics().lineSpacing() * (int(notice.size()) * 2 + 1));
    QLabel* guideHint = label("Label1", notice.last(), this);
    guideHint->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* sysInfo = new QPushButton(QStringLiteral("システム情報..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(sysInfo, &QPushButton::clicked, this, &AboutBox::StartSysInfo);

    auto* heading = new QVBoxLayout;
    heading->addWidget(title);
    heading->addWidget(version);
    heading->addWidget(description);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(heading, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    buttons->addStretch(1);
    auto* bottom = new QHBoxLayout;
    auto* texts = new QVBoxLayout;
    texts->addWidget(disclaimer);
    texts->addWidget(text);
    texts->addWidget(guideHint);
    bottom->addLayout(texts, 1);
    bottom->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    resize(560, sizeHint().height());
}

QString AboutBox::versionText()
{
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3")
        .arg(FTPTARVO_VERSION_MAJOR)
        .arg(FTPTARVO_VERSION_MINOR)
        .arg(FTPTARVO_VERSION_PATCH);
}

QStringList AboutBox::noticeLines()
{
    return {
        QStringLiteral("このソフトは現状のまま提供され、いかなる保証もありません。"),
        QStringLiteral("使用によって生じた損害について、作者は責任を負いません。"),
        QStringLiteral("再配布するときは、ファイルを変更せずにすべてそろえてください。"),
        QStringLiteral("新しいバージョンのお知らせは、配布元の案内とヘルプのガイドをご覧ください。"),
    };
}

QStringList AboutBox::systemInfoCandidates()
{
    return { QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
        QStringLiteral("gnome-system-monitor"), QStringLiteral("plasma-systemmonitor"), QStringLiteral("ksysguard"),
        QStringLiteral("mate-system-monitor"), QStringLiteral("xfce4-taskmanager"), QStringLiteral("lxtask") };
}

QString AboutBox::findSystemInfoProgram(const QStringList& candidates)
{
    for (const QString& name : candidates) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

void AboutBox::StartSysInfo()
{
    const QString program = findSystemInfoProgram();
    if (program.isEmpty() || !QProcess::startDetached(program, {}))
        m_dialogs.message(NoSystemInfo, Dialogs::Buttons::Ok, Dialogs::Icon::Information);
}
