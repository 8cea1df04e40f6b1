#include "core/app/statuslines.h"

StatusLines::StatusLines(QObject* parent, Clock clock)
    : QStringListModel(parent)
    , m_clock(std::move(clock))
{
}

void StatusLines::AddStatusLine(const QString& text)
{
    addRawLine(m_clock().toString(QStringLiteral("HH:mm:ss")) + u' ' + text);
}

void StatusLines::addRawLine(const QString& text)
{
    if (rowCount() >= MaxLines)
        removeRows(0, DropLines);
    const int row = rowCount();
    insertRows(row, 1);
    setData(index(row), text);
    Q_EMIT lineAdded(row);
}

QString StatusLines::lastLine() const
{
    const int n = rowCount();
    return n == 0 ? QString() : data(index(n - 1)).toString();
}
