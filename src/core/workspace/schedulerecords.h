#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The schedule of timed transfers as text: session records one after another, each
//
//   <Session>
//      <Provider>profile</Provider>
//      <Time>yyyy-MM-dd HH:mm</Time>
//          <From>source path</From>
//          <To>destination folder</To>        (a From/To pair per file)
//        <Action>Upload</Action>             (or Download)
//   </Session>
//
// followed by an empty line. A record carried out has "<Session End>" as its first line and never
// runs again. The schedule is edited by hand, so every function here takes any text: what is not
// a record is passed over, never a crash. Lines end with "\n" here; the file has CR LF.
namespace ScheduleRecords {

enum class Action { None, Upload, Download };

inline const QString OpenTag = QStringLiteral("<Session>");
inline const QString DoneTag = QStringLiteral("<Session End>");

// One record of a schedule text: what follows its opening tag, through its "</Session>" (or up to
// the next record or the end when it has none). A record is known by this text.
struct Piece {
    QString body;
    bool done = false;
};

// "yyyy-MM-dd HH:mm", the 16-character time of a record.
QString timeText(const QDateTime& when);
// The five time boxes filled from the clock: year, month, day, hour, minute.
QStringList timeBoxes(const QDateTime& when);
// The boxes joined as box0 "-" box1 "-" box2 " " box3 ":" box4.
QString timeFromBoxes(const QStringList& boxes);
// What time box `index` holds after it loses the focus: trimmed; the year box shorter than four
// characters takes the current year; another box left empty becomes "1", one of a single
// character gets a leading "0".
QString fixTimeBox(int index, const QString& text, const QDateTime& now);

QString actionName(Action action);
// The record's text, ended by "\n" after "</Session>"; empty without sources.
QString recordText(
    const QString& profile, const QString& time, const QStringList& sources, const QString& destination, Action action);

// The records of a schedule text, done ones included, in order; empty pieces are left out.
QList<Piece> pieces(const QString& text);

// The time of a record, year first, "*" kept; empty when it is no time. The 16 characters after
// the first "<Time>" (without one, those from the sixth character on). A time written month
// first ("MM-dd-yyyy HH:mm", as older schedules have it) is turned year first.
QString recordTime(const QString& piece);
// Whether the record is due at `now`: its time is not later than now's, where a "*" in the
// record's time matches any character at that place. A record without a time is never due.
bool isDue(const QString& piece, const QDateTime& now);

// The text between the first "<Provider>" and the next "</Provider>".
QString profileOf(const QString& piece);
// Every "<From>" and every "<To>" text, in order.
QStringList sourcesOf(const QString& piece);
QStringList destinationsOf(const QString& piece);
// The text after "<Action>" begins with "Upload" or "Download".
Action actionOf(const QString& piece);
// The folder part of a path (before its last "/") and its name part (after).
QString folderOf(const QString& path);
QString nameOf(const QString& path);

// `text` with every record whose body is `piece` marked done.
QString markDone(const QString& text, const QString& piece);
// `text` with every record marked done that is marked done in `other` (the same record text).
QString takeOverMarks(const QString& text, const QString& other);

// Whether a record of `text` is still to run.
bool hasPending(const QString& text);

} // namespace ScheduleRecords
