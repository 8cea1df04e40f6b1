#include "core/app/codepage.h"

#include <QStringDecoder>

#include <cerrno>
#include <iconv.h>

namespace {

// One converter per direction and thread; iconv_open is too slow to call per line.
class Iconv {
public:
    Iconv(const char* to, const char* from)
        : m_cd(iconv_open(to, from))
    {
    }
    ~Iconv()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible; returns the bytes consumed, sets `error` to errno on a stop.
    size_t convert(const char* in, size_t inLen, QByteArray& out, int& error)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        const size_t start = out.size();
        out.resize(start + inLen * 4 + 16);
        char* inPtr = const_cast<char*>(in);
        size_t inLeft = inLen;
        char* outPtr = out.data() + start;
        size_t outLeft = out.size() - start;
        error = 0;
        while (inLeft > 0) {
            if (iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG) {
                const size_t used = outPtr - out.data();
                out.resize(out.size() * 2);
                outPtr = out.data() + used;
                outLeft = out.size() - used;
                continue;
            }
            error = errno;
            break;
        }
        out.resize(outPtr - out.data());
        return inLen - inLeft;
    }

private:
    iconv_t m_cd;
};

Iconv& toUtf8()
{
    thread_local Iconv cd("UTF-8", "CP932");
    return cd;
}

Iconv& fromUtf8()
{
    thread_local Iconv cd("CP932", "UTF-8");
    return cd;
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

namespace Cp932 {

QString decode(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes.data(), bytes.size());
    QByteArray utf8;
    utf8.reserve(bytes.size() * 3 / 2);
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        int error = 0;
        const size_t used = toUtf8().convert(p, left, utf8, error);
        p += used;
        left -= used;
        if (error == 0)
            break;
        utf8.append("\xEF\xBF\xBD"); // U+FFFD for the byte that does not decode
        ++p;
        --left;
    }
    return QString::fromUtf8(utf8);
}

QByteArray encode(QStringView text)
{
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLatin1();
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    const char* p = utf8.constData();
    size_t left = utf8.size();
    while (left > 0) {
        int error = 0;
        const size_t used = fromUtf8().convert(p, left, out, error);
        p += used;
        left -= used;
        if (error == 0)
            break;
        out.append('?');
        // Skip the whole UTF-8 sequence of the character that has no CP932 form.
        do {
            ++p;
            --left;
        } while (left > 0 && (static_cast<unsigned char>(*p) & 0xC0) == 0x80);
    }
    return out;
}

bool canEncode(QStringView text)
{
    const QByteArray bytes = encode(text);
    return decode(bytes) == text;
}

} // namespace Cp932

namespace Utf8 {

bool isValid(QByteArrayView bytes)
{
    // Not stateless: a stateless decoder keeps no error flag to ask. decode() is lazy: only the
    // conversion to QString decodes.
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace Utf8
