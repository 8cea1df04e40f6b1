#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The local message bus that stands in for window messages between programs of one user. A
// receiving window has a handle (a positive number below 2^31) and listens on a Unix-domain socket
// named after it in the bus folder (MessageListener). One message on the wire:
//   4 bytes little-endian message number (0x4A WM_COPYDATA or 0x0C WM_SETTEXT),
//   4 bytes little-endian payload length n (at most MaxPayload; ForeignMaxPayload from a sender
//   that is another user),
//   n bytes payload;
// the receiver answers with a 4-byte little-endian signed result and closes.
namespace MessageBus {

inline constexpr quint32 WM_SETTEXT = 0x0C;
inline constexpr quint32 WM_COPYDATA = 0x4A;
inline constexpr qint64 MaxPayload = 64 * 1024 * 1024;
inline constexpr qint64 ForeignMaxPayload = 1024 * 1024;
inline constexpr int SendTimeoutMs = 5000;
inline constexpr qint64 MaxHandle = 0x7fffffff;

// $XDG_RUNTIME_DIR/ftptarvo-bus, or /tmp/ftptarvo-bus-<uid> without a runtime folder.
QString folder();
// Creates the bus folder with mode 0700 when it is missing. Refuses a folder that is a link or
// belongs to someone else (anyone who can write there could play a window of ours).
bool ensureFolder(QString* error = nullptr);
QString socketPath(qint64 handle);
// The file in which the main window announces its handle while its command channel is installed.
QString mainHandleFile();
// The handle written in main.handle, 0 when there is none or it is no handle.
qint64 readMainHandle();

bool isKnownMessage(quint32 message);

// SendMessage: delivers one message to the window listening under `handle` and waits for its
// answer, at most `timeoutMs` in all. A window of this thread gets the message at once, as a
// window of the sending thread always did. No listener, a time-out, a payload over MaxPayload or
// an unknown message number: no answer (nothing else happens, as for a window that is gone).
// `timedOut` tells a receiver that took the connection but did not answer in time.
std::optional<qint32> SendMessage(
    qint64 handle, quint32 message, QByteArrayView payload, int timeoutMs = SendTimeoutMs, bool* timedOut = nullptr);

// The text of a message as a window reads it: the payload up to its first NUL, from CP932.
QString payloadText(QByteArrayView payload);

} // namespace MessageBus
