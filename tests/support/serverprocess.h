#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

// A test server run as a child process in its own process group; stop() and kill() reach the
// processes it forks per session too (vsftpd). The server dies with the test process.
// Its standard output and error go to a file, so nothing depends on the event loop.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool start(const QString& program, const QStringList& arguments, const QString& outputFile, QString* error);
    // Waits until host:port accepts a connection and, when `greeting` is true, sends a first
    // reply line (an FTP greeting). Fails early when the process ends.
    bool waitUntilReady(const QString& host, quint16 port, bool greeting, int timeoutMs, QString* error);
    // Waits until the process printed `marker` (for servers that must not see a probe connection).
    bool waitForOutput(const QString& marker, int timeoutMs, QString* error);
    bool isRunning() const;
    // SIGTERM to the group, then SIGKILL after a grace period.
    void stop();
    // SIGKILL to the whole group at once: a server that dies in the middle of a transfer.
    void kill();
    qint64 pid() const;
    // What the process printed, for error messages.
    QString output() const;

private:
    bool waitFor(const std::function<bool()>& ready, int timeoutMs, QString* error);
    void signalAll(int signal);

    QProcess m_process;
    qint64 m_group = 0;
    QString m_outputFile;
    QString m_program;
};
