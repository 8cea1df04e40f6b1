#pragma once

// The pane commands with everything they work on: the FTP pane of the session tests, the local
// pane, the mode rules, the transfers and a status report, in a temporary data folder.
#include "../ftpsession/panerig.h"
#include "core/app/statusreport.h"
#include "core/panecommands/panecommands.h"
#include "core/panes/localpane.h"
#include "core/transfer/moderules.h"
#include "core/transfer/transfers.h"
#include "support/modeltexts.h"
#include "support/settingsfiles.h"

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
        modeRules = std::make_unique<ModeRules>(*lines);
        report = std::make_unique<StatusReport>(state);
        localPane = std::make_unique<LocalPane>(state, record, dialogs);
        transfers = std::make_unique<Transfers>(
            state, *options, *modeRules, *localPane, *pane, *status, *log, dialogs, *report);
        commands
            = std::make_unique<PaneCommands>(state, *localPane, *pane, *modeRules, *transfers, *log, *status, dialogs);
        commands->setConnectionWatch(&timer1);
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
        localPane->setFolderText(folder);
        QVERIFY(localPane->ListLocalFolder(folder));
        localPane->FillLocalList(folder);
    }

    QStringList localNames() const { return ModelTexts::itemTexts(localPane->fileList()); }

    int localRow(const QString& name) const { return int(localNames().indexOf(name)); }

    void selectLocal(const QStringList& names) { ModelTexts::selectRowsByName(localPane->fileSelection(), names); }
    void selectFtp(const QStringList& names) { ModelTexts::selectRowsByName(pane->fileSelection(), names); }

    static bool writeFile(const QString& path, const QByteArray& bytes)
    {
        return SettingsFiles::writeBytes(path, bytes);
    }
    static QByteArray readFile(const QString& path) { return SettingsFiles::readBytes(path); }
};
