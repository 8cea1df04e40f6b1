#pragma once

#include "gui/ui/movablepanel.h"

#include <array>

class Permissions;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The permission panel `Frame17` "アクセス権の変更(パーミッション)": nine boxes `Check2` in
// three framed groups (owner, group, other), the digit of each group `Label12`, the mode
// `Label11`, the letters `Label13`, the explanation `Text8`, `Check4` and "実行" `Command27`.
// It shows the state of Permissions and forwards the clicks.
class PermissionPanel : public MovablePanel {
    Q_OBJECT
public:
    PermissionPanel(Permissions& permissions, QWidget* parent);

    QCheckBox* Check2(int index) const { return m_check2.at(index); }
    QCheckBox* Check4() const { return m_check4; }
    QLabel* Label11() const { return m_label11; }
    QLabel* Label12(int level) const { return m_label12.at(level); }
    QLabel* Label13() const { return m_label13; }
    QPlainTextEdit* Text8() const { return m_text8; }
    QPushButton* Command27() const { return m_command27; }

private:
    void refresh();

    Permissions& m_permissions;
    std::array<QCheckBox*, 9> m_check2 {};
    std::array<QLabel*, 3> m_label12 {};
    QCheckBox* m_check4;
    QLabel* m_label11;
    QLabel* m_label13;
    QPlainTextEdit* m_text8;
    QPushButton* m_command27;
};
