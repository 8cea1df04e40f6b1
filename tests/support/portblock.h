#pragma once

#include <QString>

// A block of TCP port numbers that no other test process on this machine hands out while the
// block lives, so servers started by tests running in parallel never collide: the first port is
// for a server's control connection, the others form its private passive range.
//
// Blocks lie below the kernel's ephemeral range (outgoing connections never take them) and are
// claimed with an flock on a file per block; the lock goes away with the process, even a killed one.
class PortBlock {
public:
    static constexpr int Size = 24;

    PortBlock() = default;
    ~PortBlock();
    PortBlock(const PortBlock&) = delete;
    PortBlock& operator=(const PortBlock&) = delete;

    // Claims a free block whose first port is not in use on 127.0.0.1 or ::1.
    bool reserve(QString* error);
    void release();
    bool isReserved() const { return m_lockFd >= 0; }

    quint16 first() const { return m_first; }
    quint16 last() const { return quint16(m_first + Size - 1); }
    quint16 port(int index) const { return quint16(m_first + index); }

private:
    int m_lockFd = -1;
    quint16 m_first = 0;
};
