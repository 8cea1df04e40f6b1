#include "core/ftp/engine/enginedatastream.h"

#include "core/ftp/engine/sessionprivate.h"
#include "core/ftp/ftperrors.h"

EngineDataStream::EngineDataStream(FtpConnection::Private& d, DataStart start)
    : m_d(&d)
    , m_channel(std::move(start.channel))
{
    if (!m_channel) {
        m_done = true; // the command ended without data
        return;
    }
    d.stream = this;
}

EngineDataStream::~EngineDataStream() { close(); }

void EngineDataStream::detach()
{
    if (m_channel)
        m_channel->close();
    m_channel.reset();
    if (m_d && m_d->stream == this)
        m_d->stream = nullptr;
    m_d = nullptr;
    if (!m_done) {
        m_done = true;
        m_lastError = FtpError::ConnectionAborted;
    }
}

bool EngineDataStream::fail(int code)
{
    m_lastError = code;
    if (m_d)
        m_d->lastError = code;
    return false;
}

void EngineDataStream::finish()
{
    m_done = true;
    if (m_d && m_d->stream == this)
        m_d->stream = nullptr;
}

bool EngineDataStream::read(char* buffer, qint64 size, qint64* got)
{
    *got = 0;
    if (m_done) {
        if (m_lastError != FtpError::None)
            return false;
        return true;
    }
    if (!m_d)
        return fail(FtpError::ConnectionAborted);
    FtpConnection::Private& d = *m_d;
    if (d.busy)
        return fail(FtpError::TransferInProgress);
    if (size <= 0)
        return true;
    d.busy = true;
    d.waiter.setHook(d.session.d().idleHook);
    d.waiter.begin();
    bool ok = true;
    const qint64 n = m_channel->readSome(buffer, size, d.dataReceiveTimeout());
    if (n > 0) {
        *got = n;
        m_lastError = FtpError::None;
        d.lastError = FtpError::None;
    } else if (n == 0) {
        m_channel->close();
        m_channel.reset();
        finish();
        FtpReply reply;
        if (!d.readFinalReply(&reply))
            ok = fail(d.lastError);
        else if (reply.isError())
            ok = fail(FtpError::ExtendedError);
    } else {
        const int e = m_channel->error();
        d.abortTransfer(m_channel);
        finish();
        ok = fail(e);
    }
    d.busy = false;
    if (d.closeRequested) {
        d.closeRequested = false;
        d.closeNow();
    }
    return ok;
}

void EngineDataStream::close()
{
    if (m_done || !m_d) {
        finish();
        return;
    }
    FtpConnection::Private& d = *m_d;
    if (d.busy) {
        // Closed from the idle hook while a read waits: the read ends the transfer.
        d.waiter.requestCancel();
        return;
    }
    d.busy = true;
    d.waiter.setHook(d.session.d().idleHook);
    d.waiter.begin();
    d.abortTransfer(m_channel);
    finish();
    d.busy = false;
    if (d.closeRequested) {
        d.closeRequested = false;
        d.closeNow();
    }
}
