#pragma once

// The FTP pane with everything it works on, for the session and navigation tests: settings in a
// temporary data folder, scripted dialogs, a status list, an activity log and the two timers.
#include "core/app/appstate.h"
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/statuslines.h"
#include "core/ftpsession/remotepane.h"
#include "core/log/activitylog.h"
#include "core/panes/listingrecord.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "core/settings/settingslines.h"
#include "support/ftpserverfixture.h"
#include "support/modeltexts.h"
#include "support/scripteddialogs.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

struct PaneRig {
    QTemporaryDir data;
    AppState state;
    ListingRecord record;
    ScriptedDialogs dialogs;
    std::unique_ptr<SettingsLines> lines;
    std::unique_ptr<Options> options;
    std::unique_ptr<Profiles> profiles;
    std::unique_ptr<StatusLines> status;
    std::unique_ptr<ActivityLog> log;
    std::unique_ptr<RemotePane> pane;
    QTimer timer1;
    QTimer timer4;
    QList<int> pictures; // every picture shown, -1 for a step
    QDateTime now = QDateTime(QDate(2024, 3, 15), QTime(9, 5, 3));

    PaneRig()
    {
        qputenv("FTPTARVO_HOME", data.path().toUtf8());
        DataFolder::reset();
        Clock clock = [this] { return now; };
        lines = std::make_unique<SettingsLines>();
        lines->setFilePath(data.filePath(QStringLiteral("ftpset.ini")));
        lines->setDialogs(&dialogs);
        options = std::make_unique<Options>(*lines);
        profiles = std::make_unique<Profiles>(*lines, *options, dialogs);
        status = std::make_unique<StatusLines>(nullptr, clock);
        log = std::make_unique<ActivityLog>(clock);
        log->setFolder(data.path());
        pane = std::make_unique<RemotePane>(state, record, *options, *profiles, *status, *log, dialogs);
        pane->setClock(clock);
        timer1.setInterval(10000);
        timer4.setInterval(500);
        timer4.setSingleShot(true);
        pane->setTimers(&timer1, &timer4);
        QObject::connect(&timer4, &QTimer::timeout, pane.get(), [this] { pane->setMoveUpFlag(true); });
        QObject::connect(pane.get(), &RemotePane::pictureRequested, pane.get(), [this](int i) { pictures.append(i); });
        QObject::connect(pane.get(), &RemotePane::pictureStepRequested, pane.get(), [this] { pictures.append(-1); });
        listTester = std::make_unique<QAbstractItemModelTester>(pane->fileList());
        treeTester = std::make_unique<QAbstractItemModelTester>(pane->folderTree());
    }

    ~PaneRig()
    {
        listTester.reset();
        treeTester.reset();
        pane.reset();
        DataFolder::reset();
    }

    // The profile fields: host, user, password, server start folder.
    void setProfile(const QString& host, const QString& user, const QString& password, const QString& start = {})
    {
        profiles->setField(0, QStringLiteral("test"));
        profiles->setField(1, host);
        profiles->setField(2, user);
        profiles->setField(3, password);
        profiles->setField(5, start);
    }

    void setProfile(const FtpServerFixture& server, const QString& start = {})
    {
        setProfile(server.hostField(), server.user(), server.password(), start);
    }

    QStringList statusLines() const { return status->stringList(); }

    QString logText() const
    {
        QFile f(log->logPath());
        return f.open(QIODevice::ReadOnly) ? Cp932::decode(f.readAll()) : QString();
    }

    QStringList listNames() const { return ModelTexts::itemTexts(pane->fileList()); }

    int rowOf(const QString& name) const { return int(listNames().indexOf(name)); }

    // The server's current folder as the engine reads it ("" when it cannot).
    QString serverFolder()
    {
        QString folder;
        if (FtpConnection* c = pane->FtpHandle())
            c->getCurrentDirectory(&folder);
        return folder;
    }

    std::unique_ptr<QAbstractItemModelTester> listTester;
    std::unique_ptr<QAbstractItemModelTester> treeTester;
};
