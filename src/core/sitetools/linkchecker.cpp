#include "core/sitetools/linkchecker.h"

#include "core/app/appstate.h"
#include "core/app/datafolder.h"
#include "core/app/dialogs.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftperrors.h"
#include "core/panecommands/viewertext.h"
#include "core/settings/options.h"
#include "core/sitetools/linkexclusions.h"
#include "core/sitetools/linkprobe.h"
#include "core/sitetools/linkscan.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardItemModel>
#include <QUrl>

namespace {

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString nameOf(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

// "$temp$." + the page's extension, kept to letters and digits: the name comes from the server.
QString tempFileFor(const QString& remotePath)
{
    const QString name = nameOf(remotePath);
    const qsizetype dot = name.lastIndexOf(u'.');
    QString ext = dot < 0 ? QString() : name.mid(dot + 1).left(10);
    for (const QChar c : std::as_const(ext)) {
        if (c.unicode() >= 128 || !c.isLetterOrNumber()) {
            ext.clear();
            break;
        }
    }
    return DataFolder::file(QStringLiteral("$temp$.") + (ext.isEmpty() ? QStringLiteral("htm") : ext));
}

void collectNodes(QStandardItem* item, QList<QStandardItem*>* out)
{
    for (int row = 0; row < item->rowCount(); ++row) {
        if (QStandardItem* child = item->child(row)) {
            out->append(child);
            collectNodes(child, out);
        }
    }
}

QString iconOf(const QStandardItem* node) { return node->data(ItemRoles::IconKeyRole).toString(); }
QString keyOf(const QStandardItem* node) { return node->data(ItemRoles::NodeKeyRole).toString(); }

// A node inside a folder named "back" (any case) below the tree's root: the clean-up's backups.
bool inBackFolder(const QStandardItem* node)
{
    for (const QStandardItem* p = node->parent(); p && p->parent(); p = p->parent()) {
        if (nameOf(keyOf(p)).compare(QLatin1String("back"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

LinkChecker::LinkChecker(AppState& state, Options& options, StatusLines& status, LinkExclusions& exclusions,
    Dialogs* dialogs, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_options(options)
    , m_status(status)
    , m_exclusions(exclusions)
    , m_dialogs(dialogs)
    , m_probe(std::make_unique<NetworkLinkProbe>())
{
}

LinkChecker::~LinkChecker() = default;

void LinkChecker::setLinkProbe(std::unique_ptr<LinkProbe> probe)
{
    if (probe)
        m_probe = std::move(probe);
}

QStringList LinkChecker::htmlPagesOf(const QStringList& names)
{
    QStringList pages;
    for (const QString& name : names) {
        if (LinkScan::isHtmlName(name))
            pages.append(name);
    }
    return pages;
}

QString LinkChecker::topPageSelectionProblem(const QStringList& selected)
{
    if (selected.size() > 1)
        return QStringLiteral("一番上のホームページを1つだけ選択してください。");
    if (selected.isEmpty())
        return QStringLiteral("一番上のページを選択してください。");
    if (!LinkScan::isHtmlName(selected.first()))
        return QStringLiteral("選択されたファイルはＨＴＭＬファイルでは有りません。");
    return QString();
}

void LinkChecker::begin()
{
    m_report.setStringList({});
    m_running = true;
    Q_EMIT runningChanged(true);
}

void LinkChecker::end()
{
    m_state.StopRequested = false;
    m_connection = nullptr;
    m_serverFolders.clear();
    m_treeNodes.clear();
    m_running = false;
    Q_EMIT runningChanged(false);
}

void LinkChecker::addReport(const QString& line)
{
    const int row = m_report.rowCount();
    m_report.insertRows(row, 1);
    m_report.setData(m_report.index(row), line);
}

void LinkChecker::tell(const QString& message)
{
    if (m_dialogs)
        m_dialogs->message(message, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
}

bool LinkChecker::stopPending() const { return m_state.StopRequested; }

// The request is left for the page loop, which reports it.
bool LinkChecker::yieldAndCheckStop()
{
    QCoreApplication::processEvents();
    return stopPending();
}

bool LinkChecker::checkLocalPages(const QStringList& paths)
{
    if (paths.isEmpty()) {
        tell(QStringLiteral("チェックするファイルが選択されていません。"));
        return false;
    }
    begin();
    bool completed = true;
    for (const QString& path : paths) {
        std::optional<Page> page;
        ViewerText loaded;
        QString error;
        if (ViewerText::load(path, &loaded, &error))
            page = Page { loaded.text, QFileInfo(path).absolutePath(), Source::Local };
        const QString header = QStringLiteral("------") + path + QStringLiteral("のリンクチェック-------");
        if (!page) {
            addReport(QString());
            addReport(header);
            addReport(error);
            continue;
        }
        if (!checkPage(header, nameOf(path), page)) {
            completed = false;
            break;
        }
    }
    end();
    return completed;
}

bool LinkChecker::checkServerPages(FtpConnection& connection, const QString& serverFolder, const QStringList& names)
{
    if (names.isEmpty()) {
        tell(QStringLiteral("チェックするファイルが選択されていません。"));
        return false;
    }
    begin();
    m_connection = &connection;
    bool completed = true;
    for (const QString& name : names) {
        const QString remote = LinkScan::resolvePath(serverFolder, name);
        Q_EMIT currentText(name + QStringLiteral("のリンク調査中。"));
        std::optional<Page> page;
        if (const std::optional<QString> text = downloadText(remote))
            page = Page { *text, parentOf(remote), Source::Server };
        if (!checkPage(QStringLiteral("-----") + name + QStringLiteral("のリンクチェック-----"), name, page)) {
            completed = false;
            break;
        }
    }
    end();
    return completed;
}

// One page of a check: false ends the run (a stop, or a page that could not be downloaded).
bool LinkChecker::checkPage(const QString& header, const QString& name, const std::optional<Page>& page)
{
    addReport(QString());
    addReport(header);
    m_status.AddStatusLine(name + QStringLiteral("のリンクを検索"));
    if (!page) {
        if (stopPending()) {
            addReport(QStringLiteral("ユーザーストップ、リンク調査中止。"));
        } else {
            addReport(QStringLiteral("ファイルのダウンロード失敗。"));
            addReport(QStringLiteral("リンク調査中止。"));
        }
        return false;
    }
    Q_EMIT pageShown(page->text);
    ScanPageLinks(*page);
    m_status.AddStatusLine(name + QStringLiteral("のリンクを検索終了"));
    if (stopPending()) {
        addReport(QStringLiteral("ユーザーストップ、リンク調査中止。"));
        return false;
    }
    return true;
}

// False when the scan was ended by a stop or by the first missing link under the stop rule.
bool LinkChecker::ScanPageLinks(const Page& page)
{
    if (yieldAndCheckStop())
        return false;
    const QList<LinkScan::PageLink> links = LinkScan::pageLinks(page.text);
    for (const LinkScan::PageLink& link : links) {
        Q_EMIT linkMarked(link.start, link.length, true);
        if (m_exclusions.excludes(link.value))
            continue;
        const LinkResult result = CheckOneLink(link.value, page);
        if (result == LinkResult::Stopped || stopPending())
            return false;
        if (result == LinkResult::Found) {
            addReport(QStringLiteral("OK-") + link.value);
        } else if (result == LinkResult::Missing) {
            addReport(QStringLiteral("NG-") + link.value + QStringLiteral("が見つかりません。"));
            Q_EMIT linkMarked(link.start, link.length, false);
            Q_EMIT missingLink(link.value);
            if (m_options.stopAtMissingLink()) {
                Q_EMIT stopRuleTriggered();
                m_state.StopRequested = true;
                return false;
            }
        }
        if (yieldAndCheckStop())
            return false;
    }
    return true;
}

LinkChecker::LinkResult LinkChecker::CheckOneLink(const QString& link, const Page& page)
{
    if (LinkScan::isWebLink(link))
        return checkWebLink(link);
    if (LinkScan::hasScheme(link))
        return LinkResult::Skipped;
    const LinkScan::Target target = LinkScan::resolveLink(page.folder, link);
    if (target.path.isEmpty()) {
        const bool found = target.anchor.isEmpty() || LinkScan::hasAnchor(page.text, target.anchor);
        return found ? LinkResult::Found : LinkResult::Missing;
    }
    if (!targetExists(target.path, page.source))
        return LinkResult::Missing;
    if (target.anchor.isEmpty() || !LinkScan::isHtmlName(target.path))
        return LinkResult::Found;
    const std::optional<QString> text = targetText(target.path, page.source);
    return text && LinkScan::hasAnchor(*text, target.anchor) ? LinkResult::Found : LinkResult::Missing;
}

LinkChecker::LinkResult LinkChecker::checkWebLink(const QString& link)
{
    if (m_options.skipExternalLinks())
        return LinkResult::Skipped;
    Q_EMIT currentText(link + QStringLiteral("をブラウズ中"));
    QString address = link.trimmed();
    if (address.startsWith(QLatin1String("//")))
        address.prepend(QLatin1String("http:"));
    switch (m_probe->probe(QUrl(address), [this] { return stopPending(); })) {
    case LinkProbe::Outcome::Reachable:
        return LinkResult::Found;
    case LinkProbe::Outcome::Unreachable:
        return LinkResult::Missing;
    case LinkProbe::Outcome::Stopped:
        break;
    }
    return LinkResult::Stopped;
}

bool LinkChecker::targetExists(const QString& path, Source source)
{
    return source == Source::Local ? QFileInfo::exists(path) : serverFileExists(path);
}

// Looked for in its folder's listing: one listing per folder and run, and the same answer from
// every server, whatever it does with a LIST of a file.
bool LinkChecker::serverFileExists(const QString& path)
{
    if (!m_connection || path == u"/")
        return m_connection != nullptr;
    const QString folder = parentOf(path);
    auto cached = m_serverFolders.find(folder);
    if (cached == m_serverFolders.end()) {
        std::optional<QSet<QString>> names;
        FtpFindData data;
        const QString search = folder == u"/" ? QStringLiteral("/*") : folder + QStringLiteral("/*");
        if (std::unique_ptr<FtpFind> find = m_connection->findFirstFile(search, &data)) {
            names.emplace();
            do
                names->insert(data.name);
            while (find->next(&data));
        } else if (m_connection->lastError() == FtpError::NoMoreFiles) {
            names.emplace();
        }
        cached = m_serverFolders.insert(folder, names);
    }
    return cached->has_value() && (*cached)->contains(nameOf(path));
}

std::optional<QString> LinkChecker::targetText(const QString& path, Source source)
{
    if (source == Source::Server)
        return downloadText(path);
    ViewerText loaded;
    if (!ViewerText::load(path, &loaded))
        return std::nullopt;
    return loaded.text;
}

std::optional<QString> LinkChecker::downloadText(const QString& remotePath)
{
    if (!m_connection)
        return std::nullopt;
    const QString temp = tempFileFor(remotePath);
    QFile::remove(temp);
    std::optional<QString> text;
    ViewerText loaded;
    if (m_connection->getFile(remotePath, temp, false, TransferType::Binary) && ViewerText::load(temp, &loaded))
        text = loaded.text;
    QFile::remove(temp);
    return text;
}

bool LinkChecker::traceFromTopPage(QStandardItemModel& tree, const QString& topPagePath)
{
    if (!LinkScan::isHtmlName(topPagePath)) {
        tell(QStringLiteral("選択されたファイルはＨＴＭＬファイルでは有りません。"));
        return false;
    }
    QList<QStandardItem*> nodes;
    collectNodes(tree.invisibleRootItem(), &nodes);
    QHash<QString, QStandardItem*> byKey;
    for (QStandardItem* node : std::as_const(nodes))
        byKey.insert(keyOf(node), node);
    QStandardItem* top = byKey.value(topPagePath);
    if (!top || !IconKeys::isFile(iconOf(top))) {
        tell(QStringLiteral("入力されたファイルはありません"));
        return false;
    }
    begin();
    m_treeNodes = byKey;
    for (QStandardItem* node : std::as_const(nodes)) {
        const QString icon = iconOf(node);
        if (icon == IconKeys::Leaf2 || icon == IconKeys::Leaf3)
            node->setData(IconKeys::Leaf, ItemRoles::IconKeyRole);
    }
    top->setData(IconKeys::Leaf2, ItemRoles::IconKeyRole);

    bool completed = true;
    for (bool pending = true; pending && completed;) {
        pending = false;
        for (QStandardItem* node : std::as_const(nodes)) {
            if (iconOf(node) != IconKeys::Leaf2)
                continue;
            pending = true;
            node->setData(IconKeys::Leaf3, ItemRoles::IconKeyRole);
            const QString key = keyOf(node);
            if (inBackFolder(node) || !LinkScan::isHtmlName(key))
                continue;
            ViewerText page;
            QString error;
            if (!ViewerText::load(key, &page, &error)) {
                addReport(error);
                continue;
            }
            Q_EMIT pageShown(page.text);
            Q_EMIT currentText(nameOf(key) + QStringLiteral("を調査中"));
            if (!ScanPageForTrace(key, page.text)) {
                completed = false;
                break;
            }
        }
    }
    end();
    return completed;
}

bool LinkChecker::ScanPageForTrace(const QString& pageKey, const QString& text)
{
    const QList<LinkScan::PageLink> links = LinkScan::pageLinks(text);
    for (const LinkScan::PageLink& link : links) {
        Q_EMIT linkMarked(link.start, link.length, true);
        if (LinkScan::hasScheme(link.value) || LinkScan::isWebLink(link.value))
            continue;
        if (!MarkLinkedFile(link.value, link.start, link.length, pageKey))
            return false;
        if (yieldAndCheckStop()) {
            addReport(QStringLiteral("ユーザーストップ、リンク調査中止。"));
            return false;
        }
    }
    return true;
}

// False when a missing link stops the run.
bool LinkChecker::MarkLinkedFile(const QString& link, qsizetype start, qsizetype length, const QString& pageKey)
{
    if (link.startsWith(u'#') || m_exclusions.excludes(link))
        return true;
    const LinkScan::Target target = LinkScan::resolveLink(parentOf(pageKey), link);
    if (target.path.isEmpty())
        return true;
    if (QStandardItem* node = m_treeNodes.value(target.path)) {
        if (iconOf(node) == IconKeys::Leaf)
            node->setData(IconKeys::Leaf2, ItemRoles::IconKeyRole);
        return true;
    }
    Q_EMIT linkMarked(start, length, false);
    addReport(pageKey + QStringLiteral("の中の"));
    addReport(QStringLiteral("    ") + link + QStringLiteral("ファイルが有りません 。"));
    Q_EMIT missingLink(link);
    if (!m_options.stopAtMissingLink())
        return true;
    Q_EMIT stopRuleTriggered();
    return false;
}
