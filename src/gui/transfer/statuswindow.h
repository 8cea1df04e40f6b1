#pragma once

#include "gui/ui/movablepanel.h"

#include <QElapsedTimer>
#include <QTimer>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class StatusReport;

// The status window `Frame27` ("状況報告"): shows the status report of the running transfer or
// delete (caption `caption`, title box `currentFileBox`, counts box `countsBox`, a bar for the file in flight,
// one for the whole run with its file counts, and the files in flight of a run over several
// connections, one line each) and forwards its two buttons, "中止" (Stop) and "X" (hide).
//
// It follows the report's shown state at once; texts and bars follow `changed()` at most every
// RefreshIntervalMs, because a run of small files changes the report far more often than a
// window can usefully repaint.
class StatusWindow : public MovablePanel {
    Q_OBJECT
public:
    explicit StatusWindow(StatusReport& report, QWidget* parent = nullptr);

    QLineEdit* currentFileBox() const { return m_currentFileBox; }
    QLineEdit* countsBox() const { return m_countsBox; }
    QProgressBar* progressFile() const { return m_progressFile; }
    QProgressBar* progressRun() const { return m_progressRun; }
    QLabel* inFlightLabel() const { return m_inFlight; }
    QPushButton* stopButton() const { return m_stop; }
    QPushButton* closeButton() const { return m_close; }

    static constexpr int RefreshIntervalMs = 50;

    // Shows the report's present state now.
    void refresh();

private:
    void reportChanged();
    void reportShownChanged(bool shown);

    StatusReport& m_report;
    QLineEdit* m_currentFileBox;
    QLineEdit* m_countsBox;
    QProgressBar* m_progressFile;
    QProgressBar* m_progressRun;
    QLabel* m_inFlight;
    QPushButton* m_stop;
    QPushButton* m_close;
    QTimer m_pending;
    QElapsedTimer m_sinceRefresh;
};
