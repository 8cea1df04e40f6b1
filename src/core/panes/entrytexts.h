#pragma once

#include <QString>
#include <optional>

// The texts of the list columns, shared by the local and the server list. Date texts are
// year first everywhere in the program ("yyyy-mm-dd hh:mm"), so they sort chronologically as
// text.

// The "種類" column: "<DIR>" or "ﾌｧｲﾙ", followed by a word for each further attribute bit.
QString AttributeText(quint32 attributes);

// The decimal text of `n` left-padded with "0" to 2 characters.
QString PadZero(int n);

// size / 1024, rounded to the nearest whole number with halves going to the even one.
qint64 kilobytesHalfEven(qint64 size);

// Local list "ｻｲｽﾞ": the kilobytes plus one, then " KB", left-padded with blanks to 10
// characters, so the texts of sizes up to 9,999,999 KB sort in numeric order.
QString localSizeText(qint64 size);

// Server list "ｻｲｽﾞ": a blank where a sign would stand, the kilobytes (at least 1), " KB".
QString ftpSizeText(qint64 size);

// Local list "更新日時": the local time of `msecsSinceEpoch` as "yyyy-mm-dd hh:mm".
QString localDateText(qint64 msecsSinceEpoch);

// The date text of a server entry: "yyyy-mm-dd", then " hh:mm" when the listing gave a time.
QString ftpDateText(int year, int month, int day, std::optional<int> hour = {}, std::optional<int> minute = {});

// A count the way the status bar shows it: a blank where the sign would stand.
QString signedNumberText(qint64 n);
