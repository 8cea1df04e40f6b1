#pragma once

#include "gui/ui/movablepanel.h"

#include <array>

class Permissions;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The permission panel `Frame17` "アクセス権の変更(パーミッション)": nine boxes `modeBit` in
// three framed groups (owner, group, other), the digit of each group `modeDigit`, the mode
// `modeText`, the letters `modeLetters`, the explanation `explanationText`, `closeAfterChange` and "実行" `Command27`.
// It shows the state of Permissions and forwards the clicks.
class PermissionPanel : public MovablePanel {
    Q_OBJECT
public:
    PermissionPanel(Permissions& permissions, QWidget* parent);

    QCheckBox* modeBox(int index) const { return m_modeBoxes.at(index); }
    QCheckBox* closeAfterBox() const { return m_closeAfterBox; }
    QLabel* modeLabel() const { return m_modeLabel; }
    QLabel* digitLabel(int level) const { return m_digitLabels.at(level); }
    QLabel* lettersLabel() const { return m_lettersLabel; }
    QPlainTextEdit* explanationView() const { return m_explanationView; }
    QPushButton* runButton() const { return m_runButton; }

private:
    void refresh();

    Permissions& m_permissions;
    std::array<QCheckBox*, 9> m_modeBoxes {};
    std::array<QLabel*, 3> m_digitLabels {};
    QCheckBox* m_closeAfterBox;
    QLabel* m_modeLabel;
    QLabel* m_lettersLabel;
    QPlainTextEdit* m_explanationView;
    QPushButton* m_runButton;
};
