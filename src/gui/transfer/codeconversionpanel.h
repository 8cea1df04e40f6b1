#pragma once

#include "gui/ui/movablepanel.h"

#include <functional>

class Dialogs;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The code-conversion panel `Frame13`: the conversions Option3(0..3), the input and output
// paths Text16(0..1) with a "..." button each, "実行" and "キャンセル".
class CodeConversionPanel : public MovablePanel {
    Q_OBJECT
public:
    // `localFolder` gives the local pane's current folder (its `folderText`).
    CodeConversionPanel(Dialogs& dialogs, std::function<QString()> localFolder, QWidget* parent);

    // The menu item "文字変換": in front at its design place, the input box set to the local folder.
    void open();

    // "実行": runs the chosen conversion on the two paths and tells how it went.
    void RunCodeConversion();

    // "...": a file chosen in the local folder goes into Text16(index).
    void browse(int index);

private:
    Dialogs& m_dialogs;
    std::function<QString()> m_localFolder;
    QRadioButton* m_option3[4];
    QLineEdit* m_text16[2];
    QPushButton* m_browse[2];
    QPushButton* m_run;
    QPushButton* m_cancel;
};
