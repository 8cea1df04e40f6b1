#include "core/workspace/runschedule.h"

#include "core/workspace/schedulerunner.h"
#include "core/workspace/workspace.h"

#include <QFileInfo>
#include <cstdio>

void UnattendedDialogs::tell(const QString& text) { m_err << text << Qt::endl; }

Dialogs::Answer UnattendedDialogs::message(const QString& text, Buttons buttons, Icon, const QString&)
{
    tell(text);
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return Answer::Cancel;
    default:
        return Answer::No;
    }
}

std::optional<QString> UnattendedDialogs::input(const QString& prompt, const QString&, const QString&)
{
    tell(prompt);
    return std::nullopt;
}

QString UnattendedDialogs::openFileName(const QString& title, const QString&, const QString&)
{
    tell(title);
    return QString();
}

QString UnattendedDialogs::saveFileName(const QString& title, const QString&, const QString&)
{
    tell(title);
    return QString();
}

QString UnattendedDialogs::folderName(const QString& title, const QString&)
{
    tell(title);
    return QString();
}

int runScheduleOnce(QTextStream& out, QTextStream& err, const Clock& clock)
{
    UnattendedDialogs dialogs(err);
    Workspace workspace(dialogs);
    workspace.setClock(clock);
    workspace.startUp(QString());
    ScheduleRunner runner(workspace);
    runner.setClock(clock);

    int status = 0;
    if (QFileInfo::exists(ScheduleRunner::filePath())) {
        if (!runner.loadFile())
            status = 2;
        QList<ScheduleSessionResult> results;
        if (status == 0 && !runner.RunDueSessions(&results)) {
            err << QStringLiteral("別の画面か実行が予約転送を実行中のため、何もしませんでした。") << Qt::endl;
            status = 3;
        }
        for (const ScheduleSessionResult& result : results) {
            out << result.line() << Qt::endl;
            if (!result.ok)
                status = 1;
        }
    }
    // No shutDown(): its clean-up of the data folder's temporary files would take them from a
    // window that is open meanwhile. The sessions have disconnected.
    return status;
}

int runScheduleOnce(QTextStream& out)
{
    QTextStream err(stderr);
    return runScheduleOnce(out, err);
}
