#pragma once

#include "core/app/appstate.h"

#include <QCoreApplication>
#include <QElapsedTimer>

// How a long run looks at the Stop flag between two items: it lets the window repaint and take
// clicks (at most every `yieldIntervalMs`, so a run of thousands of small files is not slowed by
// repaints), then takes a Stop request, clearing it. One per run object.
class StopCheck {
public:
    explicit StopCheck(AppState& state, int yieldIntervalMs = 0)
        : m_state(state)
        , m_yieldIntervalMs(yieldIntervalMs)
    {
    }

    // True when the user asked to stop; the request is then cleared.
    bool yieldAndCheckStop()
    {
        if (!m_sinceYield.isValid() || m_sinceYield.elapsed() >= m_yieldIntervalMs) {
            QCoreApplication::processEvents();
            m_sinceYield.start();
        }
        return m_state.takeStopRequest();
    }

private:
    AppState& m_state;
    int m_yieldIntervalMs;
    QElapsedTimer m_sinceYield;
};
