#pragma once

#include "gui/ui/movablepanel.h"

#include <QIcon>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class ScheduleRunner;
class Workspace;

// The panel `Frame29` "UploadDownload予約": the time boxes `Text10_0` to `Text10_4` (year, month,
// day, hour, minute), the direction `Option2_0` "アップロード" / `Option2_1` "ダウンロード", the
// schedule text `Text11`, and its commands. The schedule itself is the runner's, which the panel
// owns: it keeps running while the panel is hidden.
class SchedulePanel : public MovablePanel {
    Q_OBJECT
public:
    SchedulePanel(Workspace& workspace, QWidget* parent);

    ScheduleRunner& runner() { return *m_runner; }

    // The menu item `mupt` and the toolbar button: the time boxes from the clock, the panel in front.
    void open();

    // The schedule button's picture while the schedule runs: the idle picture with a green mark.
    static QIcon runningIcon(const QIcon& idle);

private:
    void onTimeBoxLeft(int index);
    void appendRecord();
    void toggleSchedule();
    void closePanel();
    void showText(const QString& text);
    void showRunning(bool running);

    ScheduleRunner* m_runner;
    QLineEdit* m_timeBoxes[5] = {};
    QRadioButton* m_upload;
    QRadioButton* m_download;
    QPlainTextEdit* m_scheduleText;
    QPushButton* m_startButton;
};
