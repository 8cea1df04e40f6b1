#include "core/panes/listftpfolder.h"

#include "core/app/codepage.h"
#include "core/ftp/ftpconnection.h"
#include "core/panes/dirlistparser.h"
#include "core/panes/listingrecord.h"

#include <QCoreApplication>
#include <memory>
#include <vector>

namespace {

// About 900,000 entries of a usual listing; a server sending more is not listing a folder.
constexpr qint64 MaxListingBytes = qint64(64) * 1024 * 1024;
constexpr qint64 ChunkBytes = qint64(1024) * 1024;

} // namespace

bool ListFtpFolder(
    FtpConnection& FtpHandle, ListingRecord& record, bool serverTimesAsLocal, const Clock& clock, QString* rawText)
{
    record.ClearListings();
    record.RemoteTotalKB = 0;
    if (rawText)
        rawText->clear();

    std::unique_ptr<FtpDataStream> stream;
    const bool sent = FtpHandle.dataCommand(QStringLiteral("LIST"), TransferType::Ascii, &stream);
    QCoreApplication::processEvents();
    if (!sent || !stream)
        return false;

    QByteArray bytes;
    std::vector<char> chunk(ChunkBytes);
    for (;;) {
        qint64 got = 0;
        const bool ok = stream->read(chunk.data(), ChunkBytes, &got);
        if (ok && got == 0)
            break;
        if (!ok || got < 0 || got > ChunkBytes || bytes.size() + got > MaxListingBytes) {
            // A listing cut short would look whole: nothing is shown rather than part of it.
            stream->close();
            return false;
        }
        bytes.append(chunk.data(), qsizetype(got));
    }
    stream->close();

    const QString text = TrimAtNul(FtpHandle.utf8Names() ? QString::fromUtf8(bytes) : Cp932::decode(bytes));
    ParseDirList(text, serverTimesAsLocal, clock().date(), record);
    if (rawText)
        *rawText = text;
    return true;
}
