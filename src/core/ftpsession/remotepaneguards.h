#pragma once

// The scope guards the procedures of RemotePane share (its two source files).
#include "core/app/appstate.h"
#include "core/ftpsession/remotepane.h"

#include <QTimer>

// The hourglass pointer while a procedure runs; nested procedures keep it until the outermost ends.
class RemotePane::BusyPointer {
public:
    explicit BusyPointer(RemotePane& pane)
        : m_pane(pane)
    {
        if (m_pane.m_busyDepth++ == 0)
            Q_EMIT m_pane.busyChanged(true);
    }
    ~BusyPointer()
    {
        if (--m_pane.m_busyDepth == 0)
            Q_EMIT m_pane.busyChanged(false);
    }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    RemotePane& m_pane;
};

// The watch is switched off while a command works on the connection and on again afterwards, but
// only while connected: switched on for a pane that never connected it would start a connect.
class RemotePane::WatchPause {
public:
    explicit WatchPause(RemotePane& pane)
        : m_pane(pane)
    {
        if (m_pane.m_connectionWatch)
            m_pane.m_connectionWatch->stop();
    }
    ~WatchPause()
    {
        if (m_pane.m_connectionWatch && m_pane.m_state.IsConnected && m_pane.m_ftpHandle)
            m_pane.m_connectionWatch->start();
    }
    WatchPause(const WatchPause&) = delete;
    WatchPause& operator=(const WatchPause&) = delete;

private:
    RemotePane& m_pane;
};
