#pragma once

#include "gui/ui/movablepanel.h"

class Dialogs;
class ModeRules;
class Options;
class QCheckBox;
class QLineEdit;
class QListView;
class QPushButton;

// The transfer-mode panel `Frame4`: the text-extension list `List3`, the never-send list `List4`,
// their entry boxes and buttons (the array `Command7`), the all-ASCII and all-binary switches, and
// the Japanese conversion switches Check11(0..1) of the options.
class ModePanel : public MovablePanel {
    Q_OBJECT
public:
    ModePanel(ModeRules& rules, Options& options, Dialogs& dialogs, QWidget* parent);

    // Command7(4) "X": hides the panel unless the user keeps it open at the switches' warning.
    void Command7_4_Click();

private:
    void addEntry(int list);
    void deleteSelected();
    void refresh();

    ModeRules& m_rules;
    Options& m_options;
    Dialogs& m_dialogs;
    QListView* m_list3;
    QListView* m_list4;
    QLineEdit* m_text1[2];
    QCheckBox* m_check5;
    QCheckBox* m_check6;
    QCheckBox* m_check11[2];
};
