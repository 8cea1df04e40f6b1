// libFuzzer target for everything the FTP engine parses from a server or a profile: the reply
// parser (fed whole and in pieces, which must agree), the reply-text helpers, the MLSD and LIST
// line parsers, the host field and proxy text parsers, and the ASCII line-end converters
// (checked against a plain reference). A broken promise traps, so the fuzzer reports it like a
// crash. Built by scripts/fuzz-build; a short run is part of the test suite.
#include "core/ftp/engine/asciiconverter.h"
#include "core/ftp/engine/hostfield.h"
#include "core/ftp/engine/listingparsers.h"
#include "core/ftp/engine/proxyconfig.h"
#include "core/ftp/engine/replyparser.h"

#include <QDate>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>

namespace {

void check(bool promise)
{
    if (!promise)
        __builtin_trap();
}

bool sameReplies(const QList<FtpReply>& a, const QList<FtpReply>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].code != b[i].code || a[i].text != b[i].text)
            return false;
    return true;
}

void fuzzReplies(QByteArrayView bytes, qsizetype piece)
{
    bool wholeError = false;
    const QList<FtpReply> whole = ReplyParser::parseAll(bytes, &wholeError);
    for (const FtpReply& r : whole) {
        check(r.code >= 100 && r.code <= 599);
        check(r.text.size() <= ReplyParser::maxReply && r.text.endsWith("\r\n"));
        check(r.text.startsWith(QByteArray::number(r.code)));
        if (const auto hp = FtpReplyText::parsePasv(r.text))
            check(hp->port != 0 && hp->host.count('.') == 3);
        if (const auto hp = FtpReplyText::parseEpsv(r.text))
            check(hp->port != 0);
        if (const auto path = FtpReplyText::parsePwd(r.text))
            check(!path->isEmpty() && !path->contains('\n'));
        if (const auto size = FtpReplyText::parseTransferSize(r.text))
            check(*size >= 0);
        if (const auto size = FtpReplyText::parseSize(r.text))
            check(*size >= 0);
        for (const QByteArray& feature : FtpReplyText::parseFeatures(r.text))
            check(!feature.isEmpty() && !feature.contains(' ') && !feature.contains('\n'));
    }

    // The same bytes as they would come off a socket, in pieces: the same replies.
    ReplyParser parser;
    QList<FtpReply> pieces;
    ReplyParser::Status status = ReplyParser::Status::NeedMore;
    for (qsizetype pos = 0; pos < bytes.size() && status != ReplyParser::Status::Error; pos += piece) {
        parser.feed(bytes.sliced(pos, qMin(piece, bytes.size() - pos)));
        FtpReply r;
        while ((status = parser.next(&r)) == ReplyParser::Status::Reply)
            pieces.append(r);
    }
    check(sameReplies(whole, pieces));
    check(wholeError == (status == ReplyParser::Status::Error));
}

void fuzzListing(QByteArrayView bytes)
{
    const QDate today(2024, 6, 15);
    qsizetype pos = 0;
    while (pos <= bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = bytes.size();
        QByteArrayView line = bytes.sliced(pos, end - pos);
        pos = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        for (const auto& entry : { ListingParsers::parseMlsdLine(line), ListingParsers::parseListLine(line, today) }) {
            if (!entry)
                continue;
            const QByteArray& n = entry->name;
            check(ListingParsers::isAcceptableName(n));
            check(!n.isEmpty() && n != "." && n != ".." && !n.contains('/') && !n.contains('\0') && !n.contains('\r')
                && !n.contains('\n'));
            check(entry->size >= 0);
        }
    }
}

void fuzzTexts(QByteArrayView bytes)
{
    const QString text = QString::fromUtf8(bytes);
    bool unknownScheme = false;
    if (const auto field = HostField::parse(text, &unknownScheme)) {
        check(!field->host.isEmpty());
        check(!field->host.contains(u' ') && !field->host.contains(u'/'));
        check(field->effectivePort() != 0);
    }
    if (const auto proxy = ProxyConfig::parse(text))
        check(!proxy->host.isEmpty());
    ProxyConfig::bypasses(text, QStringLiteral("<local>"));
    ProxyConfig::bypasses(QStringLiteral("ftp.example.jp"), text);
}

QByteArray referenceDownload(QByteArrayView in)
{
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n')
            continue;
        out.append(in[i]);
    }
    return out;
}

QByteArray referenceUpload(QByteArrayView in)
{
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\n' && (i == 0 || in[i - 1] != '\r'))
            out.append('\r');
        out.append(in[i]);
    }
    return out;
}

void fuzzAscii(QByteArrayView bytes, qsizetype piece)
{
    for (auto direction : { AsciiConverter::Direction::Download, AsciiConverter::Direction::Upload }) {
        AsciiConverter converter(direction);
        QByteArray out;
        for (qsizetype pos = 0; pos < bytes.size(); pos += piece)
            converter.convert(bytes.sliced(pos, qMin(piece, bytes.size() - pos)), &out);
        converter.finish(&out);
        check(out
            == (direction == AsciiConverter::Direction::Download ? referenceDownload(bytes) : referenceUpload(bytes)));
    }
}

} // namespace

// Qt's warnings (an invalid wildcard of a bypass list) would only slow the fuzzer down.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The first byte chooses the piece size of the split feeds, so both parsers see every split.
    const qsizetype piece = size > 0 ? 1 + data[0] % 64 : 1;
    fuzzReplies(bytes, piece);
    fuzzListing(bytes);
    fuzzTexts(bytes);
    fuzzAscii(bytes, piece);
    return 0;
}
