#pragma once

#include "core/app/clock.h"

#include <QStringListModel>

// The one-line status list every operation writes to (`LstStates`). The view selects and
// scrolls to the row `lineAdded` names.
class StatusLines : public QStringListModel {
    Q_OBJECT
public:
    explicit StatusLines(QObject* parent = nullptr, Clock clock = systemNow);

    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Appends "hh:mm:ss" + " " + text.
    void AddStatusLine(const QString& text);

    // Appends the text as it is (the welcome line, the watch's "接続終了" line).
    void addRawLine(const QString& text);

    QString lastLine() const;

    // A run over a very large site must not grow without end: past MaxLines the oldest
    // DropLines go at once (the activity log keeps everything).
    static constexpr int MaxLines = 20000;
    static constexpr int DropLines = 2000;

Q_SIGNALS:
    void lineAdded(int row);

private:
    Clock m_clock;
};
