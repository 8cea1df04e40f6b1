#pragma once

// The workspace without a window, on fresh data, home and local folders, with scripted dialogs
// and a fixed clock: what the workspace tests (and the window tests' helpers) stand on.
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftpsession/remotepane.h"
#include "core/log/activitylog.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/profiles.h"
#include "core/workspace/workspace.h"
#include "support/ftpserverfixture.h"
#include "support/modeltexts.h"
#include "support/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

struct WorkspaceRig {
    QTemporaryDir data;
    QTemporaryDir home;
    QTemporaryDir local;
    ScriptedDialogs dialogs;
    QDateTime now = QDateTime(QDate(2024, 3, 15), QTime(9, 5, 3));
    std::unique_ptr<Workspace> ws;

    WorkspaceRig()
    {
        qputenv("FTPTARVO_HOME", data.path().toUtf8());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
        DataFolder::reset();
        ws = std::make_unique<Workspace>(dialogs);
        ws->setClock([this] { return now; });
        ws->localPane().showStartFolder();
    }

    ~WorkspaceRig()
    {
        ws.reset();
        DataFolder::reset();
    }

    // The profile "test" with the server's host, user and password, and a server start folder.
    void setProfile(const QString& host, const QString& user, const QString& password, const QString& start = {})
    {
        Profiles& p = ws->profiles();
        p.setField(0, QStringLiteral("test"));
        p.setField(1, host);
        p.setField(2, user);
        p.setField(3, password);
        p.setField(5, start);
    }
    void setProfile(const FtpServerFixture& server, const QString& start = {})
    {
        setProfile(server.hostField(), server.user(), server.password(), start);
    }

    // Starts the server (when it is not running), connects and shows the local folder; false
    // with a warning saying why otherwise.
    bool connect(FtpServerFixture& server, const QString& start = {})
    {
        QString error;
        if (!server.isRunning() && !server.start(&error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        setProfile(server, start);
        ws->remotePane().ConnectServer();
        if (!ws->state().IsConnected) {
            qWarning("not connected: %s", qPrintable(dialogs.texts().join(u'|')));
            return false;
        }
        showLocal();
        return true;
    }

    // The local pane at the rig's local folder.
    void showLocal(const QString& sub = {})
    {
        const QString folder = sub.isEmpty() ? local.path() : local.filePath(sub);
        ws->localPane().setFolderText(folder);
        ws->localPane().RefreshLocalPanes();
    }

    RemotePane& remote() { return ws->remotePane(); }
    LocalPane& localPane() { return ws->localPane(); }
    FtpConnection* connection() { return ws->remotePane().FtpHandle(); }

    QStringList remoteNames() const { return ModelTexts::itemTexts(ws->remotePane().fileList()); }
    QStringList localNames() const { return ModelTexts::itemTexts(ws->localPane().fileList()); }
    bool selectRemote(const QStringList& names)
    {
        return ModelTexts::selectRowsByName(ws->remotePane().fileSelection(), names);
    }
    bool selectLocal(const QStringList& names)
    {
        return ModelTexts::selectRowsByName(ws->localPane().fileSelection(), names);
    }

    // The icon key of the first row named `name` ("(none)" when there is none).
    static QString iconOf(const QAbstractItemModel* model, const QString& name)
    {
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->index(r, 0).data().toString() == name)
                return model->index(r, 0).data(ItemRoles::IconKeyRole).toString();
        }
        return QStringLiteral("(none)");
    }
    QString remoteIcon(const QString& name) const { return iconOf(ws->remotePane().fileList(), name); }
    QString localIcon(const QString& name) const { return iconOf(ws->localPane().fileList(), name); }

    // The status lines without their "hh:mm:ss " time.
    QStringList statusTexts() const
    {
        QStringList texts;
        for (const QString& line : ws->statusLines().stringList())
            texts.append(line.mid(9));
        return texts;
    }

    QString logText() const
    {
        QFile f(ws->activityLog().logPath());
        return f.open(QIODevice::ReadOnly) ? Cp932::decode(f.readAll()) : QString();
    }
    int logCount(const QString& openTag) const { return int(logText().count(openTag)); }

    QString localPath(const QString& name) const { return local.filePath(name); }
};

// Files for the tests.
inline bool writeFile(const QString& path, const QByteArray& bytes, const QDateTime& modified = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush())
        return false;
    return !modified.isValid() || f.setFileTime(modified, QFileDevice::FileModificationTime);
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}
