#pragma once

#include <QByteArray>
#include <QString>

// A minimal blocking FTP client over POSIX sockets, independent of the engine: the fixtures use
// it to see that a server answers, and tests use it to check the test servers themselves.
// Every wait has a time-out; nothing here is meant to be robust against hostile servers.
class RawFtpClient {
public:
    RawFtpClient() = default;
    ~RawFtpClient();
    RawFtpClient(const RawFtpClient&) = delete;
    RawFtpClient& operator=(const RawFtpClient&) = delete;

    bool connectTo(const QString& host, quint16 port, int timeoutMs);
    bool isConnected() const { return m_fd >= 0; }
    void close();

    bool sendRaw(const QByteArray& bytes);
    bool sendLine(const QByteArray& line) { return sendRaw(line + "\r\n"); }

    // Reads one reply, multi-line replies included. Returns its code, or -1 on end of stream or
    // time-out; `text` receives every line of it, each ended by "\r\n".
    int readReply(int timeoutMs, QByteArray* text = nullptr);
    int command(const QByteArray& line, int timeoutMs, QByteArray* text = nullptr);
    // USER and PASS; true when the server answered 230.
    bool login(const QString& user, const QString& password, int timeoutMs);
    // Waits for bytes and returns those that came (empty at the end of the stream or time-out).
    QByteArray readSome(int timeoutMs);
    // Reads until the peer closes (true) or the time-out (false); the bytes go to `data`.
    bool readToEnd(int timeoutMs, QByteArray* data = nullptr);
    // Opens a data connection after PASV, for LIST, RETR, ...; the caller sends the command.
    bool openPassiveData(RawFtpClient* data, int timeoutMs);

private:
    bool fill(int timeoutMs);

    int m_fd = -1;
    QString m_host;
    QByteArray m_buffer;
};
