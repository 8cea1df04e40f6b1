// Screenshots for the user guide, taken from the real main window offscreen. The program runs
// in a temporary data folder and home, with a small sample site, so the pictures show the same
// thing on every machine and no user's settings or files end up in the guide.

#include "core/app/appstate.h"
#include "core/app/datafolder.h"
#include "core/panes/localpane.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "gui/help/aboutbox.h"
#include "gui/help/folderwindow.h"
#include "gui/ui/movablepanel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QTextStream>
#include <QThread>
#include <cstdio>

namespace {

constexpr QSize WindowSize(1000, 700);

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A home page as an author keeps it: pages, pictures, a style sheet.
void makeSampleSite(const QString& home)
{
    const QString site = home + QStringLiteral("/homepage");
    writeFile(site + QStringLiteral("/index.html"),
        "<!DOCTYPE html>\n<html><head><title>top</title><link rel=\"stylesheet\" href=\"style.css\"></head>\n"
        "<body><a href=\"diary.html\">diary</a> <a href=\"photo/cat.png\">cat</a></body></html>\n");
    writeFile(site + QStringLiteral("/diary.html"),
        "<!DOCTYPE html>\n<html><head><title>diary</title></head><body><a href=\"index.html\">top</a></body></html>\n");
    writeFile(site + QStringLiteral("/style.css"), "body { color: #333; }\n");
    QDir().mkpath(site + QStringLiteral("/photo"));
    QImage picture(96, 64, QImage::Format_RGB32);
    for (const char* name : { "cat", "dog", "garden" }) {
        picture.fill(QColor::fromHsv(int(qHash(QByteArray(name)) % 360), 120, 220));
        picture.save(site + QStringLiteral("/photo/") + QLatin1String(name) + QStringLiteral(".png"));
    }
}

class Shooter {
public:
    Shooter(MainWindow& window, const QString& folder)
        : m_window(window)
        , m_folder(folder)
    {
    }

    void save(const QPixmap& pixmap, const QString& name)
    {
        const QString path = m_folder + u'/' + name + QStringLiteral(".png");
        // A window has few colours: a palette keeps the guide small and the text sharp.
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
        if (pixmap.isNull() || !image.save(path, "PNG", 9)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            ++m_failures;
            return;
        }
        std::printf("%s\n", qPrintable(path));
    }

    void window(const QString& name)
    {
        settle();
        save(m_window.grab(), name);
    }

    // Each menu of the menu bar, opened under its title.
    void menus()
    {
        const QList<QMenu*> menus = m_window.menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
        for (QMenu* menu : menus) {
            if (menu->objectName().isEmpty())
                continue;
            menu->popup(m_window.mapToGlobal(QPoint(40, 40)));
            settle();
            save(menu->grab(), QStringLiteral("menu-") + menu->objectName());
            menu->hide();
        }
    }

    // Opens a panel through its menu item when it has one (so it is placed and filled as the
    // user sees it), else shows it, and takes the window with the panel in front.
    void panel(const QString& panelName, const QString& actionName = QString())
    {
        if (!actionName.isEmpty()) {
            auto* action = m_window.findChild<QAction*>(actionName);
            if (action && action->isEnabled())
                action->trigger();
            settle();
        }
        auto* frame = m_window.findChild<MovablePanel*>(panelName);
        if (!frame) {
            std::printf("skipped %s: no such panel yet\n", qPrintable(panelName));
            return;
        }
        const bool wasShown = frame->isVisible();
        if (!wasShown) {
            if (frame->pos() == QPoint(0, 0))
                frame->move(24, 24);
            frame->showInFront();
        } else {
            frame->raise();
        }
        window(QStringLiteral("panel-") + panelName);
        // The tree panels belong to the window's layout: leave them as they were.
        if (!panelName.startsWith(QStringLiteral("Frame3")) && panelName != QStringLiteral("Frame20"))
            frame->hide();
        settle();
    }

    int failures() const { return m_failures; }

private:
    MainWindow& m_window;
    QString m_folder;
    int m_failures = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    // A fixed folder rather than a random one: its path shows in the pictures.
    QDir scratch(QDir::tempPath() + QStringLiteral("/ftptarvo-guide"));
    scratch.removeRecursively();
    if (!QDir().mkpath(scratch.path())) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString home = scratch.filePath(QStringLiteral("home"));
    const QString data = scratch.filePath(QStringLiteral("data"));
    QDir().mkpath(home);
    QDir().mkpath(data);
    makeSampleSite(home);
    qputenv("HOME", QFile::encodeName(home));
    qputenv("FTPTARVO_HOME", QFile::encodeName(data));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(scratch.filePath(QStringLiteral("run"))));
    QDir().mkpath(scratch.filePath(QStringLiteral("run")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const QString folder = arguments.size() > 1 ? arguments[1] : QStringLiteral(FTPTARVO_GUIDE_IMAGES_DIR);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }
    DataFolder::reset();
    DataFolder::path();

    MainWindow window;
    window.Form_Load(QString());
    window.resize(WindowSize);
    window.show();
    settle();
    window.workspace().localPane().setFolderText(home + QStringLiteral("/homepage"));
    window.workspace().localPane().ListLocalFolder(home + QStringLiteral("/homepage"));
    window.workspace().localPane().FillLocalList();

    Shooter shoot(window, folder);
    shoot.window(QStringLiteral("main"));
    shoot.menus();

    const std::pair<const char*, const char*> panels[] = {
        { "Frame1", "m2_1" }, // サーバーの設定
        { "Frame4", "m2_2" }, // 転送モード自動判別設定
        { "Frame7", "m2_3" }, // プロキシの設定
        { "Frame14", "Mrog1" }, // ログの表示
        { "Frame19", "Mrog2" }, // その他の設定
        { "Frame29", "Mrog3" }, // 予約
        { "Frame15", "Mrog4" }, // リンクチェック
        { "Frame13", "Mrog5" }, // 文字コード変換
        { "Frame21", "mmessage" }, // メッセージの表示
        { "Frame16", "mcom" }, // FTPCommand
        { "Frame6", "" }, // 初期フォルダー
        { "Frame17", "" }, // パーミッション
        { "Frame27", "" }, // 状況報告
        { "Frame26", "" }, // リンクの表示
        { "FrmPic", "" }, // ビュアー
        { "FrmCaution", "" }, // 削除の確認
        { "Frame3", "" }, // ローカルのツリー
        { "Frame20", "" }, // FTP のツリー
    };
    for (const auto& [panel, action] : panels)
        shoot.panel(QLatin1String(panel), QLatin1String(action));

    AboutBox about(window.dialogs());
    about.show();
    settle();
    shoot.save(about.grab(), QStringLiteral("about"));
    about.hide();

    FolderWindow analysis(window.workspace().state(), window.dialogs());
    analysis.show();
    analysis.analyse(home + QStringLiteral("/homepage"));
    settle();
    shoot.save(analysis.grab(), QStringLiteral("folderanalysis"));
    analysis.hide();

    window.Form_Unload();
    scratch.removeRecursively();
    return shoot.failures() == 0 ? 0 : 1;
}
