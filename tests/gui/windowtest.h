#pragma once

#include "core/app/datafolder.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "support/ftpserverfixture.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// Base of the tests that drive the real main window offscreen against pyftpdlib: one server for
// the test class and, for each test, fresh data and home folders, ftpset.ini with the server as
// the profile "テストサーバー" chosen at start, and a window that asks the scripted dialogs.
class WindowTest : public QObject {
protected:
    // ftpset.ini with one profile for the server, selected as the last profile.
    static QByteArray settingsFor(const FtpServerFixture& server)
    {
        const QString name = QStringLiteral("テストサーバー");
        return SettingsFiles::profileSettings(server, name) + SettingsFiles::lastProfileSettings(name);
    }

    bool startServer(QString* error)
    {
        m_server = std::make_unique<FtpServerFixture>(FtpServerFixture::Kind::Pyftpdlib);
        return m_server->start(error);
    }

    bool prepareFolders()
    {
        m_data = std::make_unique<QTemporaryDir>();
        m_home = std::make_unique<QTemporaryDir>();
        if (!m_data->isValid() || !m_home->isValid())
            return false;
        qputenv("FTPTARVO_HOME", m_data->path().toUtf8());
        qputenv("HOME", m_home->path().toUtf8());
        DataFolder::reset();
        m_dialogs.clear();
        return SettingsFiles::writeBytes(m_data->filePath(QStringLiteral("ftpset.ini")), settingsFor(*m_server));
    }

    // The window goes first: it may still write into the folders.
    void dropWindowAndFolders()
    {
        m_window.reset();
        QDir::setCurrent(QDir::tempPath());
        m_data.reset();
        m_home.reset();
        DataFolder::reset();
    }

    MainWindow& window()
    {
        if (!m_window) {
            m_window = std::make_unique<MainWindow>();
            m_window->dialogs().setOverride(&m_dialogs);
        }
        return *m_window;
    }

    // Loaded, shown and connected with the button; false with the messages shown otherwise.
    bool connectWindow(QString* messages)
    {
        MainWindow& w = window();
        w.Form_Load(QString());
        if (!QTest::qWaitForWindowExposed(&w)) {
            *messages = QStringLiteral("window not exposed");
            return false;
        }
        QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("cmdConnect")), Qt::LeftButton);
        *messages = m_dialogs.texts().join(u'|');
        return w.workspace().state().IsConnected;
    }

    std::unique_ptr<FtpServerFixture> m_server;
    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<MainWindow> m_window;
    ScriptedDialogs m_dialogs;
};
