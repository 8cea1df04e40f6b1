#include "core/transfer/textconvert.h"

#include "core/app/codepage.h"
#include "core/app/textfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace TextConvert {

namespace {

    // The katakana conversions hold the whole text in memory several times over; beyond this
    // the machine's memory, not the file, would decide whether they end.
    constexpr qint64 MaxInputBytes = qint64(1) << 30;

    // The numbers and texts the first platform's runtime gave for these failures.
    const Error OutOfMemory { 7, QStringLiteral("メモリが不足しています。") };
    const Error FileNotFound { 53, QStringLiteral("ファイルが見つかりません。") };
    const Error DeviceIo { 57, QStringLiteral("デバイス I/O エラーです。") };
    const Error PermissionDenied { 70, QStringLiteral("書き込みできません。") };
    const Error PathFileAccess { 75, QStringLiteral("パス名/ファイル名が無効です。") };

    // Opens an existing plain file for reading; the failure, if any, as the runtime reported it.
    std::optional<Error> openInput(const QString& path, QFile& file)
    {
        const QFileInfo info(path);
        if (path.isEmpty() || !info.exists())
            return FileNotFound;
        if (!info.isFile()) // a folder, or a device that never ends
            return PathFileAccess;
        file.setFileName(path);
        if (!file.open(QIODevice::ReadOnly))
            return file.error() == QFileDevice::PermissionsError ? PermissionDenied : PathFileAccess;
        return std::nullopt;
    }

    std::optional<QByteArray> readWhole(const QString& path, Error* error)
    {
        auto fail = [error](const Error& e) -> std::optional<QByteArray> {
            if (error)
                *error = e;
            return std::nullopt;
        };
        QFile file;
        if (const auto e = openInput(path, file))
            return fail(*e);
        const qint64 size = file.size();
        if (size > MaxInputBytes)
            return fail(OutOfMemory);
        QByteArray bytes(size, Qt::Uninitialized);
        qint64 got = 0;
        while (got < size) {
            const qint64 r = file.read(bytes.data() + got, size - got);
            if (r <= 0)
                break;
            got += r;
        }
        // A file that shrank while read is taken as it was read; a read error is not.
        if (file.error() != QFileDevice::NoError)
            return fail(DeviceIo);
        bytes.truncate(got);
        return bytes;
    }

    bool writeWhole(const QString& path, const QByteArray& bytes, Error* error)
    {
        auto fail = [error](const Error& e) {
            if (error)
                *error = e;
            return false;
        };
        if (path.isEmpty() || QFileInfo(path).isDir())
            return fail(PathFileAccess);
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return fail(file.error() == QFileDevice::PermissionsError ? PermissionDenied : PathFileAccess);
        if (file.write(bytes) != bytes.size()) {
            file.cancelWriting();
            return fail(DeviceIo);
        }
        if (!file.commit())
            return fail(PermissionDenied);
        return true;
    }

    // Half-width katakana U+FF61..U+FF9F and their full-width forms (JIS X 0201 to JIS X 0208).
    constexpr char16_t FullOfHalf[0x3F] = {
        0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7,
        0x30C3, 0x30FC, // ｡ to ｰ
        0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, // ｱ
        0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3, // ｶ
        0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, // ｻ
        0x30BF, 0x30C1, 0x30C4, 0x30C6, 0x30C8, // ﾀ
        0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, // ﾅ
        0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, // ﾊ
        0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, // ﾏ
        0x30E4, 0x30E6, 0x30E8, // ﾔ
        0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, // ﾗ
        0x30EF, 0x30F3, // ﾜ ﾝ
        0x309B, 0x309C, // ﾞ ﾟ
    };

    constexpr char16_t HalfFirst = 0xFF61;
    constexpr char16_t HalfKanaFrom = 0xFF71; // ｱ
    constexpr char16_t HalfKanaTo = 0xFF9D; // ﾝ
    constexpr char16_t FullKanaFrom = 0x30A2; // ア
    constexpr char16_t FullKanaTo = 0x30F3; // ン
    constexpr char16_t VoicedMark = 0xFF9E;
    constexpr char16_t SemiVoicedMark = 0xFF9F;

    struct HalfForm {
        char16_t base = 0;
        char16_t mark = 0;
    };

    // Full-width U+30A2..U+30F3 to half-width; base 0 where there is no half-width form.
    const std::array<HalfForm, FullKanaTo - FullKanaFrom + 1>& halfOfFull()
    {
        static const auto table = [] {
            std::array<HalfForm, FullKanaTo - FullKanaFrom + 1> t {};
            auto put = [&t](char16_t full, HalfForm half) {
                if (full >= FullKanaFrom && full <= FullKanaTo)
                    t[full - FullKanaFrom] = half;
            };
            for (char16_t h = 0xFF66; h <= HalfKanaTo; ++h) {
                const char16_t full = FullOfHalf[h - HalfFirst];
                put(full, { h, 0 });
                if (h >= 0xFF76 && h <= 0xFF84) // ｶ to ﾄ: ガ to ド follow their base
                    put(char16_t(full + 1), { h, VoicedMark });
                if (h >= 0xFF8A && h <= 0xFF8E) { // ﾊ to ﾎ: バ and パ
                    put(char16_t(full + 1), { h, VoicedMark });
                    put(char16_t(full + 2), { h, SemiVoicedMark });
                }
            }
            return t;
        }();
        return table;
    }

    QString joinedLines(QByteArrayView sjisText)
    {
        return TextFile::splitLines(Cp932::decode(sjisText)).join(QStringLiteral("\r\n"));
    }

    QByteArray asCp932File(const QString& text)
    {
        // An empty file stays empty rather than becoming a lone line end.
        if (text.isEmpty())
            return {};
        QByteArray bytes = Cp932::encode(text);
        bytes += "\r\n";
        return bytes;
    }

    bool convertFile(const QString& input, const QString& output, QByteArray (*convert)(QByteArrayView), Error* error)
    {
        const std::optional<QByteArray> in = readWhole(input, error);
        if (!in)
            return false;
        return writeWhole(output, convert(*in), error);
    }

} // namespace

namespace {

    // The converters work on a chunk at a time: p[0..n) in, at most 2n bytes out. Unless `last`,
    // they stop before a final byte whose meaning depends on the next one; the caller carries it
    // over. Returns the bytes consumed and sets `produced`.
    using ChunkConverter
        = qsizetype (*)(const unsigned char* p, qsizetype n, bool last, unsigned char* out, qsizetype* produced);

    qsizetype sjisToEucChunk(const unsigned char* p, qsizetype n, bool last, unsigned char* out, qsizetype* produced)
    {
        unsigned char* o = out;
        const qsizetype limit = last ? n : n - 1;
        qsizetype i = 0;
        while (i < limit) {
            const unsigned c1 = p[i];
            if (c1 < 0x80) {
                if (c1 != 0x0D)
                    *o++ = static_cast<unsigned char>(c1);
                else if (i + 1 >= n || p[i + 1] != 0x0A)
                    *o++ = 0x0A; // a lone CR is a line break of its own
                ++i;
                continue;
            }
            if (c1 >= 0xA0 && c1 <= 0xDF) {
                *o++ = 0x8E;
                *o++ = static_cast<unsigned char>(c1);
                ++i;
                continue;
            }
            const unsigned c2 = i + 1 < n ? p[i + 1] : 0;
            if (c1 == 0x80 || c2 < 0x40) {
                *o++ = static_cast<unsigned char>(c1);
                ++i;
                continue;
            }
            if (c1 >= 0xF0 || c2 >= 0xFD) {
                *o++ = EucGeta[0];
                *o++ = EucGeta[1];
            } else if (c2 <= 0x9E) {
                *o++ = static_cast<unsigned char>(c1 <= 0x9F ? 2 * c1 - 0x61 : 2 * c1 - 0xE1);
                *o++ = static_cast<unsigned char>(c2 < 0x80 ? c2 + 0x61 : c2 + 0x60);
            } else {
                *o++ = static_cast<unsigned char>(c1 <= 0x9F ? 2 * c1 - 0x60 : 2 * c1 - 0xE0);
                *o++ = static_cast<unsigned char>(c2 + 2);
            }
            i += 2;
        }
        *produced = o - out;
        return i;
    }

    qsizetype eucToSjisChunk(const unsigned char* p, qsizetype n, bool last, unsigned char* out, qsizetype* produced)
    {
        unsigned char* o = out;
        const qsizetype limit = last ? n : n - 1;
        qsizetype i = 0;
        while (i < limit) {
            const unsigned c1 = p[i];
            if (c1 < 0x80) {
                if (c1 == 0x0D || c1 == 0x0A) {
                    *o++ = 0x0D;
                    *o++ = 0x0A;
                    i += (c1 == 0x0D && i + 1 < n && p[i + 1] == 0x0A) ? 2 : 1;
                } else {
                    *o++ = static_cast<unsigned char>(c1);
                    ++i;
                }
                continue;
            }
            const bool whole = i + 1 < n;
            const unsigned c2 = whole ? p[i + 1] : 0;
            i += 2;
            if (c1 == 0x8E) {
                // A kana cut short at the end of the file gives nothing.
                if (whole)
                    *o++ = static_cast<unsigned char>(c2);
                continue;
            }
            if (c1 == 0xFF) {
                *o++ = SjisGeta[0];
                *o++ = SjisGeta[1];
                continue;
            }
            if (c1 & 1) {
                *o++ = static_cast<unsigned char>(c1 <= 0xDE ? (c1 + 0x61) / 2 : (c1 + 0xE1) / 2);
                const unsigned char second = static_cast<unsigned char>(c2 - 0x61);
                if (whole)
                    *o++ = second >= 0x7F ? static_cast<unsigned char>(second + 1) : second;
            } else {
                *o++ = static_cast<unsigned char>(c1 <= 0xDE ? (c1 + 0x60) / 2 : (c1 + 0xE0) / 2);
                if (whole)
                    *o++ = static_cast<unsigned char>(c2 - 2);
            }
        }
        *produced = o - out;
        return qMin(i, n);
    }

    QByteArray convertWhole(QByteArrayView in, ChunkConverter convert)
    {
        // Every input byte gives at most two output bytes (a half-width kana, a lone LF or CR).
        QByteArray out(in.size() * 2, Qt::Uninitialized);
        qsizetype produced = 0;
        convert(reinterpret_cast<const unsigned char*>(in.data()), in.size(), true,
            reinterpret_cast<unsigned char*>(out.data()), &produced);
        out.truncate(produced);
        return out;
    }

    // One pass over the file in chunks that stay in the cache, into a temporary file renamed over
    // the output at the end.
    bool convertStream(const QString& input, const QString& output, ChunkConverter convert, Error* error)
    {
        auto fail = [error](const Error& e) {
            if (error)
                *error = e;
            return false;
        };
        QFile in;
        if (const auto e = openInput(input, in))
            return fail(*e);
        if (output.isEmpty() || QFileInfo(output).isDir())
            return fail(PathFileAccess);
        QSaveFile out(output);
        if (!out.open(QIODevice::WriteOnly))
            return fail(out.error() == QFileDevice::PermissionsError ? PermissionDenied : PathFileAccess);

        constexpr qsizetype Chunk = qsizetype(1) << 20;
        // One byte carried over from the chunk before, and two output bytes for each input byte.
        std::vector<unsigned char> inBuffer(Chunk + 1);
        std::vector<unsigned char> outBuffer(2 * (Chunk + 1));
        qsizetype carried = 0;
        for (;;) {
            const qint64 got = in.read(reinterpret_cast<char*>(inBuffer.data()) + carried, Chunk);
            if (got < 0) {
                out.cancelWriting();
                return fail(DeviceIo);
            }
            const bool last = got == 0;
            const qsizetype n = carried + got;
            qsizetype produced = 0;
            const qsizetype used = convert(inBuffer.data(), n, last, outBuffer.data(), &produced);
            if (out.write(reinterpret_cast<const char*>(outBuffer.data()), produced) != produced) {
                out.cancelWriting();
                return fail(DeviceIo);
            }
            if (last)
                break;
            carried = n - used;
            if (carried > 0)
                std::memmove(inBuffer.data(), inBuffer.data() + used, carried);
        }
        if (!out.commit())
            return fail(PermissionDenied);
        return true;
    }

} // namespace

QByteArray sjisToEuc(QByteArrayView sjis) { return convertWhole(sjis, &sjisToEucChunk); }

QByteArray eucToSjis(QByteArrayView euc) { return convertWhole(euc, &eucToSjisChunk); }

QString halfKanaToFullText(QStringView text)
{
    QString out = text.toString();
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= HalfKanaFrom && u <= HalfKanaTo)
            c = QChar(FullOfHalf[u - HalfFirst]);
    }
    return out;
}

QString fullKanaToHalfText(QStringView text)
{
    const auto& table = halfOfFull();
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < FullKanaFrom || u > FullKanaTo || table[u - FullKanaFrom].base == 0) {
            out.append(c);
            continue;
        }
        const HalfForm& half = table[u - FullKanaFrom];
        out.append(QChar(half.base));
        if (half.mark)
            out.append(QChar(half.mark));
    }
    return out;
}

QByteArray halfKanaToFull(QByteArrayView sjisText) { return asCp932File(halfKanaToFullText(joinedLines(sjisText))); }

QByteArray fullKanaToHalf(QByteArrayView sjisText) { return asCp932File(fullKanaToHalfText(joinedLines(sjisText))); }

QString Error::messageText() const { return QStringLiteral("ｴﾗｰNo.%1\r\n\r\n%2").arg(number).arg(description); }

QString eucErrorTitle() { return QStringLiteral("EUC -> S-JIS変換 - エラー"); }

bool SjisFileToEuc(const QString& input, const QString& output)
{
    return convertStream(input, output, &sjisToEucChunk, nullptr);
}

bool EucFileToSjis(const QString& input, const QString& output, Error* error)
{
    return convertStream(input, output, &eucToSjisChunk, error);
}

bool HalfKanaToFull(const QString& input, const QString& output)
{
    return convertFile(input, output, &halfKanaToFull, nullptr);
}

bool FullKanaToHalf(const QString& input, const QString& output)
{
    return convertFile(input, output, &fullKanaToHalf, nullptr);
}

} // namespace TextConvert
