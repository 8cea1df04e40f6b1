#include "core/app/folderanalysis.h"

#include "core/app/appstate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <algorithm>

namespace {

QString sizeText(qint64 bytes)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::DefaultNumberOptions);
    return c.toString(bytes);
}

// Keeps the largest files, largest first; among equal sizes the first found stays ahead.
void keepIfLarge(QList<FolderAnalysis::LargeFile>& largest, const QString& path, qint64 bytes)
{
    if (largest.size() == FolderAnalysis::LargestCount && largest.last().bytes >= bytes)
        return;
    const auto at = std::upper_bound(largest.begin(), largest.end(), bytes,
        [](qint64 size, const FolderAnalysis::LargeFile& f) { return size > f.bytes; });
    largest.insert(at, { path, bytes });
    if (largest.size() > FolderAnalysis::LargestCount)
        largest.removeLast();
}

// A name may hold line ends and other control characters: each shows as "?", so one file stays
// one line of the list and of the saved file.
QString printable(QString text)
{
    for (QChar& ch : text) {
        if (ch.category() == QChar::Other_Control)
            ch = u'?';
    }
    return text;
}

} // namespace

FolderAnalysis::FolderAnalysis(AppState& state)
    : m_state(state)
{
}

QString FolderAnalysis::extensionOf(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot <= 0 || dot == fileName.size() - 1)
        return QString();
    return fileName.mid(dot + 1).toLower();
}

bool FolderAnalysis::yieldAndCheckStop()
{
    if (++m_sinceYield < YieldEvery)
        return false;
    m_sinceYield = 0;
    QCoreApplication::processEvents();
    return m_state.takeStopRequest();
}

FolderAnalysis::Result FolderAnalysis::run(const QString& folder)
{
    Result result;
    result.folder = QDir::cleanPath(folder);
    const QFileInfo top(result.folder);
    if (folder.isEmpty() || !top.isDir() || !QDir(result.folder).isReadable())
        return result;
    result.found = true;
    m_sinceYield = 0;

    QHash<QString, ExtensionTotal> totals;
    // Relative paths of the folders still to list; a stack keeps the walk depth-first.
    QStringList pending { QString() };
    const QDir root(result.folder);
    while (!pending.isEmpty() && !result.stopped) {
        const QString relative = pending.takeLast();
        const QDir dir(relative.isEmpty() ? result.folder : root.filePath(relative));
        if (!dir.isReadable()) {
            ++result.unreadableFolders;
            continue;
        }
        const QFileInfoList entries
            = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& entry : entries) {
            const QString path = relative.isEmpty() ? entry.fileName() : relative + u'/' + entry.fileName();
            if (entry.isSymLink()) {
                ++result.links;
            } else if (entry.isDir()) {
                ++result.folders;
                pending << path;
            } else if (entry.isFile()) {
                const qint64 size = entry.size();
                ++result.files;
                result.bytes += size;
                ExtensionTotal& total = totals[extensionOf(entry.fileName())];
                ++total.files;
                total.bytes += size;
                keepIfLarge(result.largest, path, size);
            }
            if (yieldAndCheckStop()) {
                result.stopped = true;
                break;
            }
        }
    }

    for (auto it = totals.begin(); it != totals.end(); ++it) {
        it->extension = it.key();
        result.byExtension << *it;
    }
    std::sort(result.byExtension.begin(), result.byExtension.end(), [](const auto& a, const auto& b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : a.extension < b.extension;
    });
    return result;
}

QStringList FolderAnalysis::lines(const Result& result)
{
    QStringList out;
    out << QStringLiteral("フォルダー: ") + printable(result.folder);
    if (!result.found) {
        out << QStringLiteral("このフォルダーは見つからないか、読み込めません。");
        return out;
    }
    if (result.stopped)
        out << QStringLiteral("中止しました。ここまでに調べた分の集計です。");
    out << QStringLiteral("合計: フォルダー %1 個、ファイル %2 個、%3 バイト")
               .arg(sizeText(result.folders), sizeText(result.files), sizeText(result.bytes));
    if (result.links > 0)
        out << QStringLiteral("シンボリックリンク %1 個（たどらず、集計に含めていません）").arg(sizeText(result.links));
    if (result.unreadableFolders > 0)
        out << QStringLiteral("読み込めないフォルダー %1 個（集計に含めていません）")
                   .arg(sizeText(result.unreadableFolders));

    out << QString() << QStringLiteral("■ 拡張子別");
    for (const ExtensionTotal& t : result.byExtension) {
        const QString name = t.extension.isEmpty() ? QStringLiteral("（拡張子なし）") : u'.' + printable(t.extension);
        out << QStringLiteral("%1　%2 個　%3 バイト").arg(name, sizeText(t.files), sizeText(t.bytes));
    }

    out << QString() << QStringLiteral("■ 大きいファイル（上位 %1）").arg(LargestCount);
    for (qsizetype i = 0; i < result.largest.size(); ++i) {
        const LargeFile& f = result.largest[i];
        out << QStringLiteral("%1. %2　%3 バイト").arg(i + 1).arg(printable(f.path), sizeText(f.bytes));
    }
    return out;
}
