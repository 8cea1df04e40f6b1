#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct AppState;

// What a local folder holds: file counts and sizes by extension (the folders below included),
// the largest files and the totals, as the lines of the folder-analysis window.
//
// Symbolic links are counted but never followed, so a link to a parent folder cannot loop and a
// link out of the tree adds nothing. The walk keeps the window live (it yields every
// YieldEvery entries) and ends early on a Stop request (AppState::StopRequested).
class FolderAnalysis {
public:
    struct ExtensionTotal {
        QString extension; // lower case, without the dot; empty for names without one
        qint64 files = 0;
        qint64 bytes = 0;
    };
    struct LargeFile {
        QString path; // relative to the analysed folder, with "/"
        qint64 bytes = 0;
    };
    struct Result {
        QString folder;
        bool found = false; // the folder exists and could be listed
        bool stopped = false; // the user stopped the walk; the totals are partial
        qint64 folders = 0; // below the analysed folder
        qint64 files = 0;
        qint64 bytes = 0;
        qint64 links = 0; // symbolic links, not followed and not in the totals
        qint64 unreadableFolders = 0;
        QList<ExtensionTotal> byExtension; // most bytes first, then by extension
        QList<LargeFile> largest; // at most LargestCount, largest first
    };

    static constexpr int LargestCount = 10;
    static constexpr int YieldEvery = 200;

    explicit FolderAnalysis(AppState& state);

    Result run(const QString& folder);

    // The report as lines of text, sizes with thousands separators.
    static QStringList lines(const Result& result);

    // "html" for "index.HTML", "" for "README" and ".profile".
    static QString extensionOf(const QString& fileName);

private:
    bool yieldAndCheckStop();

    AppState& m_state;
    int m_sinceYield = 0;
};
