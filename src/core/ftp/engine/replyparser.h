#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

// One reply of the control connection: the code and every line as the server sent it, each
// line ended by CR LF (a bare LF from the server is turned into CR LF).
struct FtpReply {
    int code = 0;
    QByteArray text;

    bool isPreliminary() const { return code >= 100 && code < 200; }
    bool isSuccess() const { return code >= 200 && code < 400; }
    bool isError() const { return code >= 400; }
};

// Splits the byte stream of a control connection into replies (RFC 959 4.2): "123 text" on one
// line, or "123-" opening lines that end at the first line starting with "123 " (or just
// "123"). Lines may end in CR LF or LF. A line longer than maxLine bytes, a reply longer than
// maxReply bytes, or a first line that does not start with a code in 100..599 is a protocol
// error; after one the parser stays failed, because the stream cannot be resynchronised.
class ReplyParser {
public:
    static constexpr qsizetype maxLine = 64 * 1024;
    static constexpr qsizetype maxReply = 1024 * 1024;

    enum class Status { NeedMore, Reply, Error };

    void feed(QByteArrayView bytes);
    // Takes the next complete reply, if any.
    Status next(FtpReply* reply);
    bool failed() const { return m_failed; }
    // Bytes received but not yet part of a reply.
    qsizetype pending() const { return m_buffer.size() - m_pos; }
    void reset();

    // Parses a whole buffer: every complete reply, and whether an error stopped it.
    static QList<FtpReply> parseAll(QByteArrayView bytes, bool* error = nullptr);

private:
    QByteArray m_buffer;
    qsizetype m_pos = 0; // start of unconsumed bytes
    qsizetype m_scan = 0; // where the search for the next line end resumes
    FtpReply m_current;
    bool m_inMulti = false;
    bool m_failed = false;
};

// Pure helpers for the texts of particular replies. Each takes the reply text and returns
// nothing when the text does not hold what is asked; none trusts a number it reads.
namespace FtpReplyText {

struct HostPort {
    QByteArray host; // dotted IPv4 for PASV; empty for EPSV
    quint16 port = 0;
};

// 227 "Entering Passive Mode (h1,h2,h3,h4,p1,p2)", with or without the parentheses.
std::optional<HostPort> parsePasv(QByteArrayView text);
// 229 "Entering Extended Passive Mode (|||port|)", any delimiter in 33..126.
std::optional<HostPort> parseEpsv(QByteArrayView text);
// 257 "\"/a \"\"b\"\"\" is the current directory": the quoted path with "" undoubled.
std::optional<QByteArray> parsePwd(QByteArrayView text);
// 150 "... (12345 bytes)": the size the server announces for a transfer.
std::optional<qint64> parseTransferSize(QByteArrayView text);
// 213 "12345": a SIZE reply.
std::optional<qint64> parseSize(QByteArrayView text);
// The feature lines of a 211 FEAT reply, upper-cased first word each ("UTF8", "MLST", ...).
QList<QByteArray> parseFeatures(QByteArrayView text);
// The facts of the MLST line of a 211 FEAT reply, lower-cased, without the "*" that marks the
// ones the server sends unasked ("type", "size", "unique", ...). Empty when there is none.
QList<QByteArray> parseMlstFacts(QByteArrayView text);

} // namespace FtpReplyText
