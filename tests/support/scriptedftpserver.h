#pragma once

#include "support/portblock.h"
#include "support/serverprocess.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// The scripted FTP server (tests/support/scripted_ftpd.py) on a free port of 127.0.0.1: a small
// byte-transparent server whose behaviour a named scenario or a script changes, for what real
// servers do not do on demand (drops, silence, 421, odd replies, hostile listings). The script
// language and the scenarios are described at the top of scripted_ftpd.py.
//
// Any user and password log in unless the script says otherwise.
class ScriptedFtpServer {
public:
    ScriptedFtpServer() = default;
    ~ScriptedFtpServer() { stop(); }
    ScriptedFtpServer(const ScriptedFtpServer&) = delete;
    ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

    bool startScenario(const QString& name, QString* error)
    {
        return start({ QStringLiteral("--scenario"), name }, error);
    }
    bool startScript(const QString& script, QString* error);
    void stop() { m_process.stop(); }
    void kill() { m_process.kill(); }
    quint16 port() const { return m_ports.first(); }

    QString hostField() const { return QStringLiteral("127.0.0.1:") + QString::number(m_ports.first()); }
    QString user() const { return QStringLiteral("tester"); }
    QString password() const { return QStringLiteral("secret"); }

    // The command lines the server received, over every connection, in order ("USER tester").
    // Bytes outside printable ASCII appear as "\xHH".
    QStringList commands() const;
    int connectionCount() const;

private:
    bool start(const QStringList& scriptArgs, QString* error);
    QStringList logLines() const;

    PortBlock m_ports;
    ServerProcess m_process;
    std::unique_ptr<QTemporaryDir> m_work;
};
