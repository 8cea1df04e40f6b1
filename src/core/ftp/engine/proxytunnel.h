#pragma once

#include "core/ftp/engine/channel.h"

#include <QString>

// Turns a channel connected to a proxy into a tunnel to host:port. Each returns an FtpError code
// (0 on success); a proxy that refuses or cannot reach the server gives ProxyFailure.
namespace ProxyTunnel {

// HTTP CONNECT, with "Proxy-Authorization: Basic" when a user name is given.
int httpConnect(
    Channel& channel, const QString& host, quint16 port, const QString& user, const QString& password, int timeoutMs);

// SOCKS5 (RFC 1928), with user name and password authentication (RFC 1929) when a user is given;
// the host name is passed to the proxy to resolve.
int socks5Connect(
    Channel& channel, const QString& host, quint16 port, const QString& user, const QString& password, int timeoutMs);

} // namespace ProxyTunnel
