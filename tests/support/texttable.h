#pragma once

#include <QStringList>
#include <QTest>
#include <list>

// Rows of QString columns written as a table, one row a line: "row name | column | column".
// A "|" separates only with a blank (or the line's end) on both sides, so "a|b" is one text and
// "| |" an empty column. Fields are trimmed; \s \n \r \t \\ and \xHH stand for their characters.
namespace TextTable {

inline QString unescape(const QString& field)
{
    QString out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar next = i + 1 < field.size() ? field[i + 1] : QChar();
        bool hex = false;
        const int byte = next == u'x' ? field.mid(i + 2, 2).toInt(&hex, 16) : 0;
        if (field[i] != u'\\')
            out += field[i];
        else if (hex)
            out += QChar(byte), i += 3;
        else if (next == u's')
            out += u' ', ++i;
        else if (next == u'n')
            out += u'\n', ++i;
        else if (next == u'r')
            out += u'\r', ++i;
        else if (next == u't')
            out += u'\t', ++i;
        else if (next == u'\\')
            out += u'\\', ++i;
        else
            out += field[i];
    }
    return out;
}

inline QStringList fields(const QString& line)
{
    QStringList out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != u'|')
            continue;
        const bool blankBefore = i == 0 || line[i - 1].isSpace();
        const bool blankAfter = i + 1 == line.size() || line[i + 1].isSpace();
        if (blankBefore && blankAfter) {
            out << unescape(line.mid(start, i - start).trimmed());
            start = i + 1;
        }
    }
    out << unescape(line.mid(start).trimmed());
    return out;
}

inline void rows(const QStringList& columns, const char* table)
{
    static std::list<QByteArray> names; // the test table keeps the pointers
    for (const QString& name : columns)
        QTest::addColumn<QString>(names.emplace_back(name.toUtf8()).constData());
    const QStringList lines = QString::fromUtf8(table).split(u'\n');
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        const QStringList f = fields(line);
        if (f.size() != columns.size() + 1)
            qFatal(
                "table row with %d fields, expected %d: %s", int(f.size()), int(columns.size() + 1), qPrintable(line));
        QTestData& data = QTest::newRow(f.first().toUtf8().constData());
        for (qsizetype c = 1; c < f.size(); ++c)
            data << f[c];
    }
}

} // namespace TextTable
