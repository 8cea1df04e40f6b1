#pragma once

// The real main window offscreen on fresh data and home folders, its questions answered by
// scripted dialogs, and the gestures the window tests make on its lists.
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
    QTemporaryDir data;
    QTemporaryDir home;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    WindowRig()
    {
        qputenv("FTPTARVO_HOME", data.path().toUtf8());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
        // The trash lives under the test's home.
        qputenv("XDG_DATA_HOME", home.filePath(u".local/share"_s).toUtf8());
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

    // Built and loaded with `commandLine`; active when it shows itself.
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
        if (!window->workspace().state().IsConnected)
            qWarning("not connected: %s", qPrintable(dialogs.texts().join(u'|')));
        dialogs.clear();
        return window->workspace().state().IsConnected;
    }

    template <typename T = QWidget> T* find(const char* name) const
    {
        T* w = window->findChild<T*>(QLatin1String(name));
        if (!w)
            qWarning("no widget %s", name);
        return w;
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
        RemotePane& pane = window->workspace().remotePane();
        const bool changed = pane.ChangeFtpFolder(folder);
        pane.RefreshFtpPanes();
        return changed;
    }
};

// The first row named `name` (invalid when there is none), and its centre scrolled into sight.
inline QModelIndex rowIndex(const QTreeView* view, const QString& name)
{
    return view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly).value(0);
}
inline QPoint rowCenter(QTreeView* view, const QString& name)
{
    const QModelIndex index = rowIndex(view, name);
    view->scrollTo(index);
    return index.isValid() ? view->visualRect(index).center() : QPoint(-1, -1);
}

inline void clickRow(QTreeView* view, const QString& name)
{
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowCenter(view, name));
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
