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
#include "core/panes/listingrecord.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/profiles.h"
#include "core/transfer/moderules.h"
#include "core/workspace/workspace.h"
#include "support/ftpserverfixture.h"
#include "support/modeltexts.h"
#include "support/scripteddialogs.h"
#include "support/scriptedftpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// Scripted dialogs that also keep the text each input box proposed.
struct RigDialogs : ScriptedDialogs {
    QStringList proposals;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        proposals.append(defaultText);
        return ScriptedDialogs::input(prompt, title, defaultText);
    }
};

struct WorkspaceRig {
    QTemporaryDir data;
    QTemporaryDir home;
    QTemporaryDir local;
    RigDialogs dialogs;
    QDateTime now = QDateTime(QDate(2024, 3, 15), QTime(9, 5, 3));
    std::unique_ptr<Workspace> ws;

    WorkspaceRig()
    {
        qputenv("FTPTARVO_HOME", data.path().toUtf8());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
        // The trash too is the rig's own.
        qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral(".local/share")).toUtf8());
        DataFolder::reset();
        ws = std::make_unique<Workspace>(dialogs);
        ws->setClock([this] { return now; });
        ws->modeRules().LoadModeLists();
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
        return connectProfile();
    }
    // The same with the scripted server running `script`.
    bool connect(ScriptedFtpServer& server, const QString& script)
    {
        QString error;
        if (!server.startScript(script, &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        setProfile(server.hostField(), server.user(), server.password());
        return connectProfile();
    }
    // Connects with the profile as it is and shows the local folder.
    bool connectProfile()
    {
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
    // The FTP pane at `folder` (a server path, or the host name for the root), listed again.
    void showRemote(const QString& folder)
    {
        ws->remotePane().setFolderText(folder);
        ws->remotePane().RefreshFtpPanes();
    }

    RemotePane& remote() { return ws->remotePane(); }
    LocalPane& localPane() { return ws->localPane(); }
    FtpConnection* connection() { return ws->remotePane().FtpHandle(); }
    // The server's current folder as the connection reads it ("" when it cannot).
    QString serverFolder()
    {
        QString folder;
        if (FtpConnection* c = connection())
            c->getCurrentDirectory(&folder);
        return folder;
    }

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
    int remoteRow(const QString& name) const { return int(remoteNames().indexOf(name)); }
    int localRow(const QString& name) const { return int(localNames().indexOf(name)); }

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
    // "name=icon" of every row, in list order; a selected row ends with "*".
    static QString marks(const QAbstractItemModel* model, const QItemSelectionModel* selection)
    {
        QStringList rows;
        for (int r = 0; r < model->rowCount(); ++r) {
            rows << model->index(r, 0).data().toString() + u'='
                    + model->index(r, 0).data(ItemRoles::IconKeyRole).toString()
                    + (selection->isRowSelected(r, QModelIndex()) ? QStringLiteral("*") : QString());
        }
        return rows.join(u' ');
    }
    QString remoteMarks() const { return marks(ws->remotePane().fileList(), ws->remotePane().fileSelection()); }
    QString localMarks() const { return marks(ws->localPane().fileList(), ws->localPane().fileSelection()); }

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
    QStringList logEntries() const { return logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts); }

    QString localPath(const QString& name) const { return local.filePath(name); }
};

// Starts a server; false with a warning saying why.
inline bool startServer(FtpServerFixture& server)
{
    QString error;
    if (server.isRunning() || server.start(&error))
        return true;
    qWarning("%s", qPrintable(error));
    return false;
}

inline QDateTime at(int y, int m, int d, int h = 10, int min = 0) { return QDateTime(QDate(y, m, d), QTime(h, min)); }

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

// Folders (ending with "/") and files holding their own path, below `root`.
inline bool makeEntries(const QString& root, const QStringList& entries)
{
    for (const QString& entry : entries) {
        if (entry.endsWith(u'/') ? !QDir(root).mkpath(entry) : !writeFile(root + u'/' + entry, entry.toUtf8()))
            return false;
    }
    return true;
}

// What is below `root`, "/"-separated, folders ending with "/" and followed by their content, in
// name order; links are not followed.
inline QStringList entriesBelow(const QString& root)
{
    QStringList out;
    const QFileInfoList infos
        = QDir(root).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& info : infos) {
        const bool folder = info.isDir() && !info.isSymLink();
        out.append(info.fileName() + (folder ? QStringLiteral("/") : QString()));
        if (folder) {
            for (const QString& child : entriesBelow(info.filePath()))
                out.append(info.fileName() + u'/' + child);
        }
    }
    return out;
}

// "key=icon" of every node of a tree, parents before children, level by level as a walk adds them.
inline QStringList treeMarks(const QStandardItemModel* tree)
{
    QStringList out;
    QList<QModelIndex> queue;
    for (int r = 0; r < tree->rowCount(); ++r)
        queue << tree->index(r, 0);
    for (qsizetype i = 0; i < queue.size(); ++i) {
        const QModelIndex node = queue.at(i);
        out << node.data(ItemRoles::NodeKeyRole).toString() + u'=' + node.data(ItemRoles::IconKeyRole).toString();
        for (int r = 0; r < tree->rowCount(node); ++r)
            queue << tree->index(r, 0, node);
    }
    return out;
}

// The first node of a tree whose text is `text` (null when none).
inline QStandardItem* treeNode(QStandardItemModel* tree, const QString& text)
{
    const QList<QStandardItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}
