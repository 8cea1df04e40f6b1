#pragma once

#include "gui/ui/movablepanel.h"

class ActivityLog;
class Dialogs;
class QPlainTextEdit;

// The text panel `Frame14` that shows the activity log in `RichTextBox1`. A failure of the view is
// told through the Dialogs seam; failed entries are told by whoever owns ActivityLog::writeFailed.
class LogPanel : public MovablePanel {
    Q_OBJECT
public:
    LogPanel(ActivityLog& log, Dialogs& dialogs, QWidget* parent);

    // The menu item "ログの表示" (`Mrog1`): shows the panel in front and the log's last lines,
    // after full batches of 501 lines have moved to the backup file.
    void showLog();

private:
    ActivityLog& m_log;
    Dialogs& m_dialogs;
    QPlainTextEdit* m_richTextBox1;
};
