#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Runs a handler when a control loses the keyboard focus, the moment the options of the settings
// panels reach the file. A pop-up (the line edit's own context menu) is no loss of focus.
class FocusOutWatcher : public QObject {
    Q_OBJECT
public:
    // The watcher is a child of the widget and lives as long as it.
    static void watch(QWidget* widget, std::function<void()> onFocusOut);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FocusOutWatcher(QWidget* widget, std::function<void()> onFocusOut);

    std::function<void()> m_onFocusOut;
};
