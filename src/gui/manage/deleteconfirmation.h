#pragma once

#include "gui/ui/movablepanel.h"

class QEventLoop;
class QLabel;
class QPushButton;
struct AppState;

// The confirmation panel `DeleteConfirmation` of server deletes: "ファイルとフォルダーの削除", the
// question, the counts, "実行" and "中止". ask() shows it in front and runs a local event loop
// until it is hidden, so the window stays live; "中止" sets `StopRequested`.
class DeleteConfirmation : public MovablePanel {
    Q_OBJECT
public:
    DeleteConfirmation(AppState& state, QWidget* parent);
    ~DeleteConfirmation() override;

    // True for "実行". Hiding the panel any other way counts as "中止".
    bool ask(const QString& counts);
    bool isAsking() const { return m_loop != nullptr; }

    QLabel* counts() const { return m_counts; }
    QPushButton* runButton() const { return m_run; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void hideEvent(QHideEvent* event) override;
    // Esc answers "中止", as in any dialog. Enter is left to the focused button's own handling,
    // which in a panel (no dialog) clicks nothing, so a stray Enter never deletes.
    void keyPressEvent(QKeyEvent* event) override;

private:
    AppState& m_state;
    QLabel* m_question;
    QLabel* m_counts;
    QPushButton* m_run;
    QPushButton* m_cancel;
    QEventLoop* m_loop = nullptr;
    bool m_answer = false;
};
