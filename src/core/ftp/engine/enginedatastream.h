#pragma once

#include "core/ftp/engine/connectionprivate.h"

// The data of a raw command, read in chunks. Reading to the end reads the command's final reply;
// closing earlier aborts the command (ABOR) and keeps the connection.
class EngineDataStream : public FtpDataStream {
public:
    EngineDataStream(FtpConnection::Private& d, DataStart start);
    ~EngineDataStream() override;

    bool read(char* buffer, qint64 size, qint64* got) override;
    void close() override;
    int lastError() const override { return m_lastError; }

    // The connection is going away.
    void detach();

private:
    bool fail(int code);
    void finish();

    FtpConnection::Private* m_d;
    std::unique_ptr<Channel> m_channel;
    bool m_done = false;
    int m_lastError = 0;
};
