#pragma once

#include <QString>

// Error codes of the FTP engine. They keep the first platform's numbering so that the error
// reports of the program work unchanged; codes below 12000 are errno values or the few system
// codes the procedures test (18 no more files, 80 file exists).
namespace FtpError {
constexpr int None = 0;
constexpr int FileNotFound = 2;
constexpr int AccessDenied = 5;
constexpr int NoMoreFiles = 18;
constexpr int PathNotFound = 3; // the local folder of a download does not exist
constexpr int WriteFault = 29; // a local file could not be written
constexpr int ReadFault = 30; // a local file could not be read
constexpr int FileExists = 80;
constexpr int DiskFull = 112;
constexpr int InvalidName = 123; // a name holding CR, LF or NUL, which would smuggle a command in
constexpr int Timeout = 12002;
constexpr int ExtendedError = 12003; // the server answered with an error reply: see the last response
constexpr int InternalError = 12004;
constexpr int InvalidUrl = 12005; // a host field that cannot be parsed
constexpr int UnrecognizedScheme = 12006;
constexpr int NameNotResolved = 12007;
constexpr int BadUserName = 12013;
constexpr int BadPassword = 12014;
constexpr int OperationCancelled = 12017; // the user's Stop
constexpr int IncorrectHandleState = 12019; // no open connection
constexpr int CannotConnect = 12029;
constexpr int ConnectionAborted = 12030;
constexpr int ConnectionReset = 12031;
constexpr int SecCertDateInvalid = 12037;
constexpr int SecCertCnInvalid = 12038;
constexpr int SecInvalidCert = 12169;
constexpr int SecureFailure = 12175; // TLS handshake or TLS data failure
constexpr int TransferInProgress = 12110; // an operation is already running on this connection
constexpr int FtpDropped = 12111;
constexpr int InvalidServerResponse = 12152; // a reply or listing line the engine cannot take (garbage, too long)
constexpr int ProxyFailure = 12165; // the proxy refused or could not reach the server

// The engine's own Japanese message for a code ("" for codes it has no text for).
QString messageText(int code);
} // namespace FtpError
