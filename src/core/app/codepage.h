#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// CP932 (Windows Shift-JIS) is the code page of every text file the program shares with its
// first platform: settings, log, schedule, link list, companion messages. Conversion goes
// through glibc iconv. Both directions are total: hostile input never fails or crashes.
namespace Cp932 {

// Undecodable bytes become U+FFFD, one per byte; a sequence cut short at the end too.
QString decode(QByteArrayView bytes);

// Characters CP932 cannot hold become "?", as the first platform's conversion did.
QByteArray encode(QStringView text);

// True when every character of the text survives a round trip through CP932.
bool canEncode(QStringView text);

} // namespace Cp932

namespace Utf8 {
bool isValid(QByteArrayView bytes);
}
