#pragma once

#include "support/portblock.h"
#include "support/serverprocess.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A real proxy on a free port of 127.0.0.1 for the proxy tests: tinyproxy (HTTP CONNECT) or
// microsocks (SOCKS5). Each logs the connections it accepts and the tunnels it opens, so a test
// can assert that the traffic went through it, or, with a bypass, that it saw nothing.
class ProxyFixture {
public:
    enum class Kind { HttpConnect, Socks5 }; // tinyproxy, microsocks

    struct Options {
        Kind kind = Kind::HttpConnect;
        QString user; // empty: no credentials asked; tinyproxy takes none with blanks
        QString password;
    };

    ProxyFixture() = default;
    explicit ProxyFixture(const Options& options)
        : m_options(options)
    {
    }
    explicit ProxyFixture(Kind kind) { m_options.kind = kind; }
    ~ProxyFixture() { stop(); }
    ProxyFixture(const ProxyFixture&) = delete;
    ProxyFixture& operator=(const ProxyFixture&) = delete;

    bool start(QString* error);
    void stop() { m_process.stop(); }

    bool isSocks() const { return m_options.kind == Kind::Socks5; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_ports.first(); }
    // The proxy text of the options: "127.0.0.1:PORT" for HTTP, "socks5://127.0.0.1:PORT".
    QString proxyText() const;

    // Client connections the proxy accepted (microsocks logs only those that asked for a target).
    int connectionCount() const;
    // "host:port" of every tunnel the proxy opened, in order (exact for connections made one
    // after another).
    QStringList tunnels() const;
    QString logText() const;

private:
    QStringList logLines() const { return logText().split(u'\n', Qt::SkipEmptyParts); }

    Options m_options;
    PortBlock m_ports;
    ServerProcess m_process;
    std::unique_ptr<QTemporaryDir> m_work;
    int m_probeConnections = 0;
};
