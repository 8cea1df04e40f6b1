#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Japanese text conversions for home pages kept on Windows and served from UNIX: Shift-JIS
// (CP932) to EUC-JP and back by the JIS X 0208 row and cell arithmetic, and katakana width in
// Shift-JIS text. The file forms convert in one pass and write the result through a temporary
// file renamed over the target, so a failure never leaves a half-written output.
namespace TextConvert {

// Written for a character the other encoding has no place for (user-defined characters): the
// JIS X 0208 "geta" mark 〓, EUC-JP 0xA2 0xAE, Shift-JIS 0x81 0xAC.
inline constexpr unsigned char EucGeta[2] = { 0xA2, 0xAE };
inline constexpr unsigned char SjisGeta[2] = { 0x81, 0xAC };

// Shift-JIS to EUC-JP. CR LF and a lone CR become LF; half-width katakana become 0x8E xx.
QByteArray sjisToEuc(QByteArrayView sjis);

// EUC-JP to Shift-JIS. CR LF, a lone LF and a lone CR all become CR LF.
QByteArray eucToSjis(QByteArrayView euc);

// Katakana width inside Shift-JIS text, one character at a time (a half-width voicing mark is
// never combined with the kana before it). The result is CP932 text with CR LF line ends and
// one CR LF at its end; empty text stays empty.
QByteArray halfKanaToFull(QByteArrayView sjisText);
QByteArray fullKanaToHalf(QByteArrayView sjisText);
QString halfKanaToFullText(QStringView text);
QString fullKanaToHalfText(QStringView text);

// A failure as the conversion error box shows it.
struct Error {
    int number = 0;
    QString description;
    // "ｴﾗｰNo.53" CR LF CR LF "ファイルが見つかりません。"
    QString messageText() const;
};

// Title of the box EucFileToSjis's caller shows for `Error`.
QString eucErrorTitle();

// The file forms: true on success. A missing or unreadable input, or an output that cannot be
// written, gives false and leaves any existing output untouched.
bool SjisFileToEuc(const QString& input, const QString& output);
bool EucFileToSjis(const QString& input, const QString& output, Error* error = nullptr);
bool HalfKanaToFull(const QString& input, const QString& output);
bool FullKanaToHalf(const QString& input, const QString& output);

} // namespace TextConvert
