#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringListModel>
#include <memory>
#include <optional>

class Dialogs;
class FtpConnection;
class LinkExclusions;
class LinkProbe;
class Options;
class QStandardItem;
class QStandardItemModel;
class StatusLines;
struct AppState;

// The link checker: checks every link of chosen pages, on the disk or on the server, and traces
// a local site from its top page, marking in the local tree every file a page links to. The
// report (`List6`) is a model; the window shows the page being read (pageShown) and colours the
// links it is told about (linkMarked), with positions in that page text.
//
// Links are read by LinkScan. A web link (http, https) is asked of the LinkProbe, unless the
// option "リンクチェックでブラウズは行わない" is on: then it is not checked and not reported. Links
// with another scheme (javascript:, ftp:, ...) are not files and are not checked either. An
// anchor in another page is found by an "a" tag's name or any tag's id.
//
// Runs keep the event loop going; Stop (AppState::StopRequested) ends them after the link being
// checked, a web link's wait within a tenth of a second.
class LinkChecker : public QObject {
    Q_OBJECT
public:
    // `dialogs` (may be null) shows the messages of a run that cannot start.
    LinkChecker(AppState& state, Options& options, StatusLines& status, LinkExclusions& exclusions,
        Dialogs* dialogs = nullptr, QObject* parent = nullptr);
    ~LinkChecker() override;

    // The report `List6`, one line per event.
    QStringListModel* report() { return &m_report; }

    // The program's probe is a NetworkLinkProbe with the 15 s limit.
    void setLinkProbe(std::unique_ptr<LinkProbe> probe);
    LinkProbe& linkProbe() { return *m_probe; }

    // The pages of the local list, full paths. Relative links are taken from each page's folder.
    // False when there was nothing to check or the run was stopped.
    bool checkLocalPages(const QStringList& paths);

    // Pages of `serverFolder` (absolute) on the server: each is downloaded into "$temp$." + its
    // extension in the data folder, read, and removed; targets are looked for in their folder's
    // listing. False when there was nothing to check, a page could not be downloaded, or the run
    // was stopped.
    bool checkServerPages(FtpConnection& connection, const QString& serverFolder, const QStringList& names);

    // Follows links from the top page through the local tree (nodes keyed by full path, as
    // LocalPane::WalkLocalTree fills it): every file reached ends "leaf3", the others stay "leaf".
    // Pages in a folder named "back" (any case) are marked but not read. False when stopped, by
    // the user or by a missing link under "リンクの無い場合そこでチェックを止める", or when the top
    // page is no HTML page of the tree.
    bool traceFromTopPage(QStandardItemModel& tree, const QString& topPagePath);

    // The entries the server check takes: "html" and "htm" files.
    static QStringList htmlPagesOf(const QStringList& names);
    // The message for a top-page selection that cannot be traced; empty when it can.
    static QString topPageSelectionProblem(const QStringList& selected);

    bool isRunning() const { return m_running; }

Q_SIGNALS:
    void pageShown(const QString& text);
    // Blue for every value read (found true), red for a link not found (found false).
    void linkMarked(qsizetype start, qsizetype length, bool found);
    // A link not found, for the registration box.
    void missingLink(const QString& link);
    // A missing link stopped the run: the window brings the exclusion list to the front.
    void stopRuleTriggered();
    // What is being done ("…のリンク調査中。", "…をブラウズ中", "…を調査中").
    void currentText(const QString& text);
    void runningChanged(bool running);

private:
    enum class Source { Local, Server };
    enum class LinkResult { Found, Missing, Skipped, Stopped };
    struct Page {
        QString text;
        QString folder; // where relative links start
        Source source = Source::Local;
    };

    void begin();
    void end();
    void addReport(const QString& line);
    void tell(const QString& message);
    bool stopPending() const;
    bool yieldAndCheckStop();

    bool checkPage(const QString& header, const QString& name, const std::optional<Page>& page);
    bool ScanPageLinks(const Page& page);
    LinkResult CheckOneLink(const QString& link, const Page& page);
    LinkResult checkWebLink(const QString& link);
    bool targetExists(const QString& path, Source source);
    bool serverFileExists(const QString& path);
    std::optional<QString> targetText(const QString& path, Source source);
    std::optional<QString> downloadText(const QString& remotePath);

    bool ScanPageForTrace(const QString& pageKey, const QString& text);
    bool MarkLinkedFile(const QString& link, qsizetype start, qsizetype length, const QString& pageKey);

    AppState& m_state;
    Options& m_options;
    StatusLines& m_status;
    LinkExclusions& m_exclusions;
    Dialogs* m_dialogs;
    QStringListModel m_report;
    std::unique_ptr<LinkProbe> m_probe;
    bool m_running = false;

    FtpConnection* m_connection = nullptr; // during a server check
    QHash<QString, std::optional<QSet<QString>>> m_serverFolders; // listings of one run
    QHash<QString, QStandardItem*> m_treeNodes; // during a trace
};
