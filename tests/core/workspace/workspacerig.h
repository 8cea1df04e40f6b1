#pragma once

// The workspace without a window, on fresh data, home and local folders, with scripted dialogs
// and a fixed clock: what the workspace tests stand on.
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftpsession/remotepane.h"
#include "core/log/activitylog.h"
#include "core/panes/listingrecord.h"
#include "core/panes/localpane.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "core/transfer/moderules.h"
#include "core/workspace/workspace.h"
#include "support/ftpserverfixture.h"
#include "support/modeltexts.h"
#include "support/scripteddialogs.h"
#include "support/scriptedftpserver.h"
#include "support/texttable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <list>
#include <memory>

using Kind = FtpServerFixture::Kind;

// Scripted dialogs that also keep the text each input box proposed.
struct RigDialogs : ScriptedDialogs {
    QStringList proposals;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        proposals.append(defaultText);
        return ScriptedDialogs::input(prompt, title, defaultText);
    }
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
    for (const QString& entry : entries)
        if (entry.endsWith(u'/') ? !QDir(root).mkpath(entry) : !writeFile(root + u'/' + entry, entry.toUtf8()))
            return false;
    return true;
}

struct WorkspaceRig {
    QTemporaryDir data, home, local;
    RigDialogs dialogs;
    QDateTime now = QDateTime(QDate(2024, 3, 15), QTime(9, 5, 3));
    std::unique_ptr<Workspace> ws;

    WorkspaceRig()
    {
        qputenv("FTPTARVO_HOME", data.path().toUtf8());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
        qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral(".local/share")).toUtf8()); // the rig's own trash
        DataFolder::reset();
        ws = std::make_unique<Workspace>(dialogs);
        ws->setClock([this] { return now; });
        ws->modeRules().LoadModeLists();
        ws->localPane().showStartFolder();
        // One connection: the order of what a run does is fixed. tst_connections runs several.
        ws->options().setTransferConnections(1);
    }
    ~WorkspaceRig()
    {
        ws.reset();
        DataFolder::reset();
    }

    // The profile "test" with the server's host, user and password, and a server start folder.
    void setProfile(const QString& host, const QString& user, const QString& password, const QString& start = {})
    {
        const QStringList fields { QStringLiteral("test"), host, user, password, {}, start };
        for (int i = 0; i < fields.size(); ++i)
            if (i != 4)
                ws->profiles().setField(i, fields[i]);
    }
    void setProfile(const FtpServerFixture& s, const QString& start = {})
    {
        setProfile(s.hostField(), s.user(), s.password(), start);
    }
    // Starts the server (when it is not running), connects and shows the local folder.
    bool connect(FtpServerFixture& server, const QString& start = {})
    {
        return startServer(server) && (setProfile(server, start), connectProfile());
    }
    // The same with files (see makeEntries) put on the server and in the local folder first.
    bool connectWith(FtpServerFixture& server, const QStringList& serverEntries, const QStringList& localEntries = {})
    {
        return startServer(server) && makeEntries(server.root(), serverEntries)
            && makeEntries(local.path(), localEntries) && connect(server);
    }
    // The same with the scripted server running `script`, or the scenario so named (one line).
    bool connect(ScriptedFtpServer& server, const QString& script)
    {
        QString error;
        if (!(script.contains(u'\n') ? server.startScript(script, &error) : server.startScenario(script, &error)))
            return qWarning("%s", qPrintable(error)), false;
        setProfile(server.hostField(), server.user(), server.password());
        return connectProfile();
    }
    // Connects with the profile as it is and shows the local folder.
    bool connectProfile()
    {
        ws->remotePane().ConnectServer();
        if (!ws->state().IsConnected)
            return qWarning("not connected: %s", qPrintable(dialogs.texts().join(u'|'))), false;
        showLocal();
        return true;
    }

    void showLocal(const QString& sub = {})
    {
        ws->localPane().setFolderText(sub.isEmpty() ? local.path() : local.filePath(sub));
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
        return ModelTexts::selectRowsByName(remote().fileSelection(), names);
    }
    bool selectLocal(const QStringList& names)
    {
        return ModelTexts::selectRowsByName(localPane().fileSelection(), names);
    }
    int remoteRow(const QString& name) const { return int(remoteNames().indexOf(name)); }
    int localRow(const QString& name) const { return int(localNames().indexOf(name)); }

    // "name=icon" of every FTP list row, in list order; a selected row ends with "*".
    QString remoteMarks() const
    {
        const QAbstractItemModel* list = ws->remotePane().fileList();
        QStringList rows;
        for (int r = 0; r < list->rowCount(); ++r)
            rows << list->index(r, 0).data().toString() + u'='
                    + list->index(r, 0).data(ItemRoles::IconKeyRole).toString()
                    + (ws->remotePane().fileSelection()->isRowSelected(r, QModelIndex()) ? "*" : "");
        return rows.join(u' ');
    }
    // The icon key of the local row named `name`.
    QString localIcon(const QString& name) const
    {
        return ws->localPane().fileList()->index(localRow(name), 0).data(ItemRoles::IconKeyRole).toString();
    }

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

// The rows of `table` (as TextTable reads them) once for each server, named "server: row", the
// server in the first column "server"; without a table one row per server.
inline void serverRows(const QStringList& servers, const QStringList& columns = {}, const char* table = "")
{
    static std::list<QByteArray> names; // the test table keeps the pointers
    for (const QString& name : QStringList { QStringLiteral("server") } + columns)
        QTest::addColumn<QString>(names.emplace_back(name.toUtf8()).constData());
    const QStringList lines = QString::fromUtf8(table).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& server : servers) {
        if (columns.isEmpty())
            QTest::newRow(server.toUtf8().constData()) << server;
        for (const QString& line : lines) {
            const QStringList f = TextTable::fields(line);
            if (f.size() != columns.size() + 1)
                qFatal("table row with %d fields: %s", int(f.size()), qPrintable(line));
            QTestData& row = QTest::newRow((server + u": " + f.first()).toUtf8().constData()) << server;
            for (qsizetype c = 1; c < f.size(); ++c)
                row << f[c];
        }
    }
}

// The current row's QString columns, for `auto [a, b] = fetch("a", "b");`.
template <typename... Names> std::array<QString, sizeof...(Names)> fetch(Names... names)
{
    return { *static_cast<QString*>(QTest::qData(names, qMetaTypeId<QString>()))... };
}

// What is below `root`, "/"-separated, folders ending with "/" and followed by their content, in
// name order; links are not followed.
inline QStringList entriesBelow(const QString& root)
{
    QStringList out;
    for (const QFileInfo& info :
        QDir(root).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name)) {
        const bool folder = info.isDir() && !info.isSymLink();
        out.append(info.fileName() + (folder ? QStringLiteral("/") : QString()));
        for (const QString& child : folder ? entriesBelow(info.filePath()) : QStringList())
            out.append(info.fileName() + u'/' + child);
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
