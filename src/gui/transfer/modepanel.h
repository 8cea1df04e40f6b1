#pragma once

#include "gui/ui/movablepanel.h"

class Dialogs;
class ModeRules;
class Options;
class QCheckBox;
class QLineEdit;
class QListView;
class QPushButton;

// The transfer-mode panel `Frame4`: the text-extension list `textExtensionModel`, the never-send list `neverSendExtensionModel`,
// their entry boxes and buttons (the array `Command7`), the all-ASCII and all-binary switches, and
// the Japanese conversion switches codeConversion(0..1) of the options.
class ModePanel : public MovablePanel {
    Q_OBJECT
public:
    ModePanel(ModeRules& rules, Options& options, Dialogs& dialogs, QWidget* parent);

    // Command7(4) "X": hides the panel unless the user keeps it open at the switches' warning.
    void onCloseClicked();

private:
    void addEntry(int list);
    void deleteSelected();
    void refresh();

    ModeRules& m_rules;
    Options& m_options;
    Dialogs& m_dialogs;
    QListView* m_textExtensions;
    QListView* m_neverSend;
    QLineEdit* m_text1[2];
    QCheckBox* m_allAscii;
    QCheckBox* m_allBinary;
    QCheckBox* m_codeConversion[2];
};
