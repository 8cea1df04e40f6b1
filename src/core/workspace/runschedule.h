#pragma once

#include "core/app/clock.h"
#include "core/app/dialogs.h"

#include <QTextStream>

// Questions asked where nobody can answer (the schedule run without a window): each is answered
// with the safe choice (OK where that is the only button, else No or Cancel) and its text goes to
// `err`, so a cron mail or the journal shows what the program wanted to know.
class UnattendedDialogs : public Dialogs {
public:
    explicit UnattendedDialogs(QTextStream& err)
        : m_err(err)
    {
    }

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString openFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString folderName(const QString& title, const QString& folder) override;

private:
    void tell(const QString& text);

    QTextStream& m_err;
};

// `ftptarvo --run-schedule`: runs the due sessions of auto.txt once, without a window, as the
// window's schedule does (the same log, the same marks in auto.txt), and prints a line per session
// that ran to `out`. Needs a QGuiApplication (the offscreen platform does). Returns 0 when every
// session went well (or none was due), 1 when one failed, 2 when auto.txt cannot be read, 3 when
// another window or run is running the schedule.
int runScheduleOnce(QTextStream& out, QTextStream& err, const Clock& clock = systemNow);
// The same with the messages on stderr.
int runScheduleOnce(QTextStream& out);
