#pragma once

#include <QFrame>
#include <QLabel>
#include <QPointer>

class QPushButton;
class QTimer;
class QVBoxLayout;

// A panel inside the main window with a title label across its top. Dragging the label moves
// the panel like a window's title bar. Every panel derives from this class, so each one gets
// the behaviour by construction.
class MovablePanel : public QFrame {
    Q_OBJECT
public:
    // `objectName` is the panel's design name (for example "Frame7"), `labelName` its title
    // label's ("Label3").
    MovablePanel(const QString& objectName, const QString& labelName, const QString& title, QWidget* parent);

    QLabel* titleLabel() const { return m_title; }
    // Where subclasses put their controls, below the title.
    QVBoxLayout* body() const { return m_body; }

    // Shows the panel and brings it to the front. A panel that was dragged wholly out of its
    // parent's sight comes back to the parent's top left corner, so it can always be reached.
    void showInFront();

    // Adds a right-aligned "閉じる" button below the controls that hides the panel.
    QPushButton* addCloseButton(const QString& objectName);

    // A panel moved along under this one (the status report under the tree panels).
    void setDockedBelow(QWidget* follower) { m_follower = follower; }

    // Mouse positions below this height in the label do not move the panel (600 twips).
    static constexpr int DragBandPixels = 40;

Q_SIGNALS:
    // The user dragged the panel to a new place.
    void moved();
    void titleDoubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void dragTo(const QPoint& posInLabel);

    QLabel* m_title;
    QVBoxLayout* m_body;
    QWidget* m_follower = nullptr;
};

// Shared by every panel: one drag at a time, throttled by a 1 ms timer (`TimerMove`) so a
// burst of mouse moves cannot pile up nested moves.
struct PanelDragState {
    bool PanelDragging = false;
    QPoint DragStart;
    bool PanelMoveBusy = false;
    QPointer<QTimer> TimerMove;

    static PanelDragState& instance();
};
