#pragma once

// The FTP pane rig with the local pane, the status window's state and the three procedures of
// deleting, making folders and changing permissions on top.
#include "core/app/statusreport.h"
#include "core/ftpsession/remotepane.h"
#include "core/ftpsession/panerig.h"
#include "core/manage/deletes.h"
#include "core/manage/folders.h"
#include "core/manage/permissions.h"
#include "core/app/itemroles.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "support/modeltexts.h"
#include "support/scriptedftpserver.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QStandardItemModel>

struct ManageRig : PaneRig {
    LocalPane local { state, record, dialogs };
    StatusReport report { state };
    Deletes deletes { state, *pane, local, *status, *log, dialogs, report };
    Folders folders { state, *pane, local, *status, *log, dialogs };
    Permissions permissions { state, *pane, *status, *log, dialogs };
    QStringList cautions; // the counts of every confirmation asked

    // Confirms every delete with `run`; "中止" sets the stop flag as the panel does.
    void answerCaution(bool run)
    {
        deletes.setCaution([this, run](const QString& counts) {
            cautions.append(counts);
            if (!run)
                state.StopRequested = true;
            return run;
        });
    }

    bool connectTo(FtpServerFixture& server)
    {
        QString error;
        if (!server.start(&error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        setProfile(server);
        pane->ConnectServer();
        return state.IsConnected;
    }

    // Starts the scripted server with `script` and connects to it.
    bool connectTo(ScriptedFtpServer& server, const QString& script)
    {
        QString error;
        if (!server.startScript(script, &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        setProfile(server.hostField(), server.user(), server.password());
        pane->ConnectServer();
        return state.IsConnected;
    }

    // Goes to the server folder `folder` and selects the rows named `names` of the FTP list.
    bool showAndSelect(const QString& folder, const QStringList& names)
    {
        pane->setFolderText(folder);
        pane->RefreshFtpPanes();
        return ModelTexts::selectRowsByName(pane->fileSelection(), names);
    }

    QStringList linesStartingWith(const QString& head) const
    {
        QStringList out;
        for (const QString& line : statusLines()) {
            const QString text = line.mid(9); // after "hh:mm:ss "
            if (text.startsWith(head))
                out.append(text.mid(head.size()));
        }
        return out;
    }
};

// Entries below a root folder, "/"-separated, folders ending with "/": what is on disk.
inline QStringList entriesBelow(const QString& root)
{
    QStringList out;
    QDir dir(root);
    const QFileInfoList infos = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& info : infos) {
        if (info.isDir() && !info.isSymLink()) {
            out.append(info.fileName() + u'/');
            for (const QString& child : entriesBelow(info.filePath()))
                out.append(info.fileName() + u'/' + child);
        } else {
            out.append(info.fileName());
        }
    }
    return out;
}

// Makes folders (ending with "/") and files holding their own name below `root`.
inline bool makeEntries(const QString& root, const QStringList& entries)
{
    for (const QString& entry : entries) {
        if (entry.endsWith(u'/')) {
            if (!QDir(root).mkpath(entry))
                return false;
            continue;
        }
        QFile file(root + u'/' + entry);
        if (!file.open(QIODevice::WriteOnly) || file.write(entry.toUtf8()) < 0)
            return false;
    }
    return true;
}
