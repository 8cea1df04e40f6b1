#include "core/ftp/engine/replyparser.h"

#include <limits>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The code at the start of a line, or -1.
int leadingCode(QByteArrayView line)
{
    if (line.size() < 3 || !isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2]))
        return -1;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

// Reads an unsigned decimal number of at most maxDigits digits at `pos`.
std::optional<quint64> readNumber(QByteArrayView text, qsizetype& pos, int maxDigits)
{
    const qsizetype start = pos;
    quint64 value = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        if (pos - start >= maxDigits)
            return std::nullopt;
        value = value * 10 + quint64(text[pos] - '0');
        ++pos;
    }
    if (pos == start)
        return std::nullopt;
    return value;
}

} // namespace

void ReplyParser::reset()
{
    m_buffer.clear();
    m_pos = 0;
    m_scan = 0;
    m_current = FtpReply();
    m_inMulti = false;
    m_failed = false;
}

void ReplyParser::feed(QByteArrayView bytes)
{
    if (m_failed)
        return;
    if (m_pos > 0 && m_pos == m_buffer.size()) {
        m_buffer.clear();
        m_scan -= m_pos;
        m_pos = 0;
    } else if (m_pos > 64 * 1024) {
        m_buffer.remove(0, m_pos);
        m_scan -= m_pos;
        m_pos = 0;
    }
    m_buffer.append(bytes.data(), bytes.size());
}

ReplyParser::Status ReplyParser::next(FtpReply* reply)
{
    if (m_failed)
        return Status::Error;
    for (;;) {
        const qsizetype lf = m_buffer.indexOf('\n', m_scan);
        if (lf < 0) {
            m_scan = m_buffer.size();
            if (m_buffer.size() - m_pos > maxLine || m_current.text.size() + (m_buffer.size() - m_pos) > maxReply) {
                m_failed = true;
                return Status::Error;
            }
            return Status::NeedMore;
        }
        qsizetype end = lf;
        if (end > m_pos && m_buffer[end - 1] == '\r')
            --end;
        const QByteArrayView line(m_buffer.constData() + m_pos, end - m_pos);
        m_pos = lf + 1;
        m_scan = m_pos;
        if (line.size() > maxLine || m_current.text.size() + line.size() + 2 > maxReply) {
            m_failed = true;
            return Status::Error;
        }
        const int code = leadingCode(line);
        if (!m_inMulti) {
            if (code < 100 || code > 599) {
                // Some servers send an empty line between replies; anything else is garbage.
                if (line.isEmpty())
                    continue;
                m_failed = true;
                return Status::Error;
            }
            m_current.code = code;
            m_current.text.append(line.data(), line.size());
            m_current.text.append("\r\n");
            if (line.size() > 3 && line[3] == '-') {
                m_inMulti = true;
                continue;
            }
        } else {
            m_current.text.append(line.data(), line.size());
            m_current.text.append("\r\n");
            if (code != m_current.code || (line.size() > 3 && line[3] != ' '))
                continue;
            m_inMulti = false;
        }
        *reply = std::move(m_current);
        m_current = FtpReply();
        return Status::Reply;
    }
}

QList<FtpReply> ReplyParser::parseAll(QByteArrayView bytes, bool* error)
{
    ReplyParser parser;
    parser.feed(bytes);
    QList<FtpReply> replies;
    FtpReply reply;
    Status status;
    while ((status = parser.next(&reply)) == Status::Reply)
        replies.append(reply);
    if (error)
        *error = status == Status::Error;
    return replies;
}

namespace FtpReplyText {

std::optional<HostPort> parsePasv(QByteArrayView text)
{
    // Skip the code, then find the first run of six comma-separated numbers.
    for (qsizetype start = 3; start < text.size(); ++start) {
        if (!isDigit(text[start]) || isDigit(text[start - 1]))
            continue;
        qsizetype pos = start;
        quint64 n[6];
        int count = 0;
        for (; count < 6; ++count) {
            const auto value = readNumber(text, pos, 3);
            if (!value || *value > 255)
                break;
            n[count] = *value;
            if (count < 5) {
                if (pos >= text.size() || text[pos] != ',')
                    break;
                ++pos;
            }
        }
        if (count == 6) {
            HostPort hp;
            hp.host = QByteArray::number(n[0]) + '.' + QByteArray::number(n[1]) + '.' + QByteArray::number(n[2]) + '.'
                + QByteArray::number(n[3]);
            hp.port = quint16(n[4] * 256 + n[5]);
            if (hp.port == 0)
                return std::nullopt;
            return hp;
        }
    }
    return std::nullopt;
}

std::optional<HostPort> parseEpsv(QByteArrayView text)
{
    const qsizetype open = text.indexOf('(');
    if (open < 0 || open + 5 >= text.size())
        return std::nullopt;
    const char d = text[open + 1];
    if (d < 33 || d > 126 || isDigit(d))
        return std::nullopt;
    if (text[open + 2] != d || text[open + 3] != d)
        return std::nullopt;
    qsizetype pos = open + 4;
    const auto port = readNumber(text, pos, 5);
    if (!port || *port == 0 || *port > 65535 || pos + 1 >= text.size() || text[pos] != d || text[pos + 1] != ')')
        return std::nullopt;
    HostPort hp;
    hp.port = quint16(*port);
    return hp;
}

std::optional<QByteArray> parsePwd(QByteArrayView text)
{
    const qsizetype lineEnd = text.indexOf('\n');
    const QByteArrayView line = lineEnd < 0 ? text : text.first(lineEnd);
    const qsizetype open = line.indexOf('"');
    if (open < 0)
        return std::nullopt;
    QByteArray path;
    for (qsizetype i = open + 1; i < line.size(); ++i) {
        if (line[i] == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
                path.append('"');
                ++i;
                continue;
            }
            if (path.isEmpty())
                return std::nullopt;
            return path;
        }
        path.append(line[i]);
    }
    return std::nullopt;
}

std::optional<qint64> parseTransferSize(QByteArrayView text)
{
    // The last "(N bytes)" of the first line.
    const qsizetype lineEnd = text.indexOf('\n');
    const QByteArrayView line = lineEnd < 0 ? text : text.first(lineEnd);
    const qsizetype bytes = line.lastIndexOf(QByteArrayView(" bytes)"));
    if (bytes <= 0)
        return std::nullopt;
    qsizetype start = bytes;
    while (start > 0 && isDigit(line[start - 1]))
        --start;
    if (start == bytes || start == 0 || line[start - 1] != '(')
        return std::nullopt;
    qsizetype pos = start;
    const auto value = readNumber(line, pos, 18);
    if (!value)
        return std::nullopt;
    return qint64(*value);
}

std::optional<qint64> parseSize(QByteArrayView text)
{
    if (text.size() < 5 || leadingCode(text) != 213 || text[3] != ' ')
        return std::nullopt;
    qsizetype pos = 4;
    const auto value = readNumber(text, pos, 18);
    if (!value)
        return std::nullopt;
    return qint64(*value);
}

QList<QByteArray> parseFeatures(QByteArrayView text)
{
    QList<QByteArray> features;
    qsizetype pos = 0;
    bool first = true;
    while (pos < text.size()) {
        qsizetype end = text.indexOf('\n', pos);
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.sliced(pos, end - pos);
        pos = end + 1;
        if (first) {
            first = false;
            continue;
        }
        // Feature lines start with a blank; the closing "211 End" does not.
        if (line.isEmpty() || line[0] != ' ')
            continue;
        line = line.trimmed();
        qsizetype word = 0;
        while (word < line.size() && line[word] != ' ')
            ++word;
        if (word > 0 && features.size() < 256)
            features.append(line.first(word).toByteArray().toUpper());
    }
    return features;
}

QList<QByteArray> parseMlstFacts(QByteArrayView text)
{
    QList<QByteArray> facts;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf('\n', pos);
        if (end < 0)
            end = text.size();
        const QByteArrayView line = text.sliced(pos, end - pos).trimmed();
        pos = end + 1;
        if (line.size() < 5 || line.first(5).compare("MLST ", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray& fact : line.sliced(5).trimmed().toByteArray().split(';')) {
            QByteArray name = fact.trimmed().toLower();
            if (name.endsWith('*'))
                name.chop(1);
            if (!name.isEmpty() && facts.size() < 64 && !facts.contains(name))
                facts.append(name);
        }
    }
    return facts;
}

} // namespace FtpReplyText
