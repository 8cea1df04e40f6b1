#pragma once

// The pane commands with everything they work on: the FTP pane of the session tests, the local
// pane, the mode rules, the transfers and a status report, in a temporary data folder.
#include "../ftpsession/panerig.h"
#include "core/app/statusreport.h"
#include "core/panes/commands/panecommands.h"
#include "core/panes/localpane.h"
#include "core/transfer/moderules.h"
#include "core/transfer/transfers.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QTest>

struct CommandsRig : PaneRig {
    QTemporaryDir local;
    std::unique_ptr<ModeRules> modeRules;
    std::unique_ptr<StatusReport> report;
    std::unique_ptr<LocalPane> localPane;
    std::unique_ptr<Transfers> transfers;
    std::unique_ptr<PaneCommands> commands;

    CommandsRig()
    {
        modeRules = std::make_unique<ModeRules>(*lines, state);
        report = std::make_unique<StatusReport>(state);
        localPane = std::make_unique<LocalPane>(state, record, dialogs);
        transfers = std::make_unique<Transfers>(
            state, record, *options, *modeRules, *localPane, *pane, *status, *log, dialogs, *report);
        commands
            = std::make_unique<PaneCommands>(state, *localPane, *pane, *modeRules, *transfers, *log, *status, dialogs);
        commands->setTimer1(&timer1);
        showLocal(local.path());
    }

    ~CommandsRig()
    {
        commands.reset();
        transfers.reset();
        localPane.reset();
    }

    void showLocal(const QString& folder)
    {
        localPane->setTxtDir2(folder);
        QVERIFY(localPane->ListLocalFolder(folder));
        localPane->FillLocalList(folder);
    }

    QStringList localNames() const
    {
        QStringList names;
        for (int r = 0; r < localPane->ListView2()->rowCount(); ++r)
            names.append(localPane->ListView2()->index(r, 0).data().toString());
        return names;
    }

    int localRow(const QString& name) const { return int(localNames().indexOf(name)); }

    // Selects exactly the named rows of a list.
    static void select(QStandardItemModel* list, QItemSelectionModel* selection, const QStringList& names)
    {
        selection->clearSelection();
        for (int r = 0; r < list->rowCount(); ++r) {
            if (names.contains(list->index(r, 0).data().toString()))
                selection->select(list->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    void selectLocal(const QStringList& names)
    {
        select(localPane->ListView2(), localPane->ListView2Selection(), names);
    }
    void selectFtp(const QStringList& names) { select(pane->ListView1(), pane->ListView1Selection(), names); }

    static bool writeFile(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }

    static QByteArray readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
