#pragma once

// The real main window offscreen on fresh data and home folders, its questions answered by scripted dialogs.
#include "core/app/datafolder.h"
#include "core/ftpsession/remotepane.h"
#include "core/panes/localpane.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "support/ftpserverfixture.h"
#include "support/modeltexts.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

struct WindowRig {
    QTemporaryDir data, home;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    WindowRig()
    {
        qputenv("FTPTARVO_HOME", data.path().toUtf8());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
        qputenv("XDG_DATA_HOME", home.filePath(u".local/share"_s).toUtf8()); // the trash
        DataFolder::reset();
    }
    ~WindowRig()
    {
        window.reset(); // first: it may still write into the folders
        QDir::setCurrent(QDir::tempPath());
        DataFolder::reset();
    }
    // ftpset.ini with the server as the profile chosen at start.
    bool useServer(const FtpServerFixture& server)
    {
        return writeBytes(data.filePath(u"ftpset.ini"_s),
            SettingsFiles::profileSettings(server, u"テストサーバー"_s)
                + SettingsFiles::lastProfileSettings(u"テストサーバー"_s));
    }
    MainWindow& load(const QString& commandLine = {})
    {
        window = std::make_unique<MainWindow>();
        window->dialogs().setOverride(&dialogs);
        window->Form_Load(commandLine);
        if (window->isVisible()) {
            window->activateWindow();
            if (!QTest::qWaitForWindowActive(window.get()))
                qWarning("window not active");
        }
        return *window;
    }
    // Loaded and connected with the connect button, the answers so far forgotten.
    bool connect()
    {
        load();
        QTest::mouseClick(button("cmdConnect"), Qt::LeftButton);
        const QString told = dialogs.texts().join(u'|');
        dialogs.clear();
        return window->workspace().state().IsConnected || (qWarning("not connected: %s", qPrintable(told)), false);
    }
    template <typename T = QWidget> T* find(const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    QTreeView* ftpList() const { return find<QTreeView>("ListView1"); }
    QTreeView* localList() const { return find<QTreeView>("ListView2"); }
    void showLocal(const QString& folder)
    {
        window->workspace().localPane().setFolderText(folder);
        window->workspace().localPane().RefreshLocalPanes();
    }
    bool openFtp(const QString& folder)
    {
        const bool changed = window->workspace().remotePane().ChangeFtpFolder(folder);
        window->workspace().remotePane().RefreshFtpPanes();
        return changed;
    }
};

inline QModelIndex rowIndex(const QTreeView* view, const QString& name)
{
    return view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly).value(0);
}
// The row's centre, scrolled into sight; (-1, -1) when there is no such row.
inline QPoint rowCenter(QTreeView* view, const QString& name)
{
    view->scrollTo(rowIndex(view, name));
    return rowIndex(view, name).isValid() ? view->visualRect(rowIndex(view, name)).center() : QPoint(-1, -1);
}
inline void clickRow(QTreeView* v, const QString& name)
{
    QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, rowCenter(v, name));
}
// As a real mouse sends it: a click, then the press the system reports as a double-click.
inline void doubleClickRow(QTreeView* view, const QString& name)
{
    clickRow(view, name);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rowCenter(view, name));
}
inline bool selectRows(QTreeView* view, const QStringList& names)
{
    return ModelTexts::selectRowsByName(view->selectionModel(), names);
}
inline QStringList rowNames(const QTreeView* view) { return ModelTexts::itemTexts(view->model()); }
inline int modeOf(const QString& path)
{
    struct stat st { };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}
