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

    // Complete lines are decoded and parsed as they arrive, so a listing is never held whole as
    // bytes and text besides its rows. A line end is one byte in both encodings: no character is
    // split. The text is cut at its first NUL and trimmed of blanks at both ends, as a whole.
    const bool utf8 = FtpHandle.utf8Names();
    const QDate today = clock().date();
    QByteArray pending;
    bool first = true;
    bool cut = false;
    const auto parse = [&](QByteArrayView lines, bool last) {
        QString text = utf8 ? QString::fromUtf8(lines) : Cp932::decode(lines);
        QStringView view = text;
        if (first) {
            while (!view.isEmpty() && view.front() == u' ')
                view = view.sliced(1);
            first = view.isEmpty();
        }
        if (last) {
            while (!view.isEmpty() && view.back() == u' ')
                view.chop(1);
        }
        ParseDirList(view, serverTimesAsLocal, today, record);
        if (rawText && rawText->size() < MaxRawTextChars)
            *rawText += view;
    };
    qint64 total = 0;
    std::vector<char> chunk(ChunkBytes);
    for (;;) {
        qint64 got = 0;
        const bool ok = stream->read(chunk.data(), ChunkBytes, &got);
        if (ok && got == 0)
            break;
        total += got;
        if (!ok || got < 0 || got > ChunkBytes || total > MaxListingBytes) {
            // A listing cut short would look whole: nothing is shown rather than part of it.
            stream->close();
            record.ClearListings();
            record.RemoteTotalKB = 0;
            if (rawText)
                rawText->clear();
            return false;
        }
        if (cut)
            continue;
        QByteArrayView data(chunk.data(), qsizetype(got));
        if (const qsizetype nul = data.indexOf('\0'); nul >= 0) {
            data.truncate(nul);
            cut = true;
        }
        pending.append(data);
        const qsizetype lineEnd = pending.lastIndexOf('\n');
        if (lineEnd >= 0) {
            parse(QByteArrayView(pending).first(lineEnd + 1), false);
            pending.remove(0, lineEnd + 1);
        }
    }
    stream->close();
    parse(pending, true);
    return true;
}
