// The site tools as the file-operation menu and the command line start them: the link check
// of the selected pages, the trace from a site's top page, the clean-up after it, and the
// pictures the image viewer shows.
#include "core/app/dialogs.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/app/statusreport.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftpsession/remotepane.h"
#include "core/ftpsession/sessionrules.h"
#include "core/manage/deletes.h"
#include "core/panecommands/menustate.h"
#include "core/panecommands/panecommands.h"
#include "core/panecommands/panepaths.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/sitetools/cleanup.h"
#include "core/sitetools/linkchecker.h"
#include "core/sitetools/linkscan.h"
#include "core/sitetools/picturegrid.h"
#include "core/sitetools/thumbnailloader.h"
#include "core/transfer/transfers.h"
#include "core/workspace/workspace.h"

#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QStandardItemModel>

namespace {

const QString NothingToCheck = QStringLiteral("チェックするファイルが選択されていません。");

// The selected rows of a list whose icon says "file", in list order.
QStringList selectedFileNames(const PaneListModel& list, const QItemSelectionModel& selection)
{
    QStringList names;
    for (int row = 0; row < list.rowCount(); ++row) {
        if (selection.isRowSelected(row) && !list.isFolderRow(row) && list.iconKey(row) != IconKeys::LeafKill)
            names.append(list.text(row, 0));
    }
    return names;
}

// Every node of a tree, parents before their children.
QList<QStandardItem*> treeNodes(QStandardItemModel& tree)
{
    QList<QStandardItem*> nodes;
    for (int r = 0; r < tree.rowCount(); ++r)
        nodes.append(tree.item(r));
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        for (int r = 0; r < nodes[i]->rowCount(); ++r)
            nodes.append(nodes[i]->child(r));
    }
    return nodes;
}

} // namespace

void Workspace::beginLinkRun()
{
    m_statusReport->setCaption(QStringLiteral("リンクチェック実行中"));
    m_statusReport->setCurrentFile(QString());
    m_statusReport->show();
    Q_EMIT linkRunStarted();
}

void Workspace::endLinkRun()
{
    m_state.StopRequested = false;
    m_statusReport->hide();
}

bool Workspace::checkLinksInActivePane()
{
    if (m_linkChecker->isRunning())
        return false;
    if (m_state.ActivePane == 4) {
        const QString folder = m_localPane->folderText().trimmed();
        QStringList pages;
        for (const QString& name : selectedFileNames(*m_localPane->fileList(), *m_localPane->fileSelection()))
            pages.append(PanePaths::join(folder, name));
        return checkLocalPages(pages);
    }
    if (m_state.ActivePane != 2)
        return false;
    const QStringList names
        = LinkChecker::htmlPagesOf(selectedFileNames(*m_remotePane->fileList(), *m_remotePane->fileSelection()));
    FtpConnection* connection = m_remotePane->FtpHandle();
    if (names.isEmpty() || !connection) {
        m_dialogs.message(NothingToCheck, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    const QString folder = m_transfers->shownServerFolder();
    beginLinkRun();
    const bool done
        = m_linkChecker->checkServerPages(*connection, folder.isEmpty() ? QStringLiteral("/") : folder, names);
    endLinkRun();
    return done;
}

bool Workspace::checkLocalPages(const QStringList& pages)
{
    if (pages.isEmpty()) {
        m_dialogs.message(NothingToCheck, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    beginLinkRun();
    const bool done = m_linkChecker->checkLocalPages(pages);
    endLinkRun();
    return done;
}

QString Workspace::selectedLocalFolder() const
{
    if (m_state.ActivePane == 3) {
        const QModelIndex node = m_localPane->folderTreeSelection()->currentIndex();
        const QString key = node.data(ItemRoles::NodeKeyRole).toString();
        return node.isValid() && !IconKeys::isFile(node.data(ItemRoles::IconKeyRole).toString()) ? key : QString();
    }
    const PaneListModel& list = *m_localPane->fileList();
    const QItemSelectionModel& selection = *m_localPane->fileSelection();
    QString folder;
    for (int row = 0; row < list.rowCount(); ++row) {
        if (!selection.isRowSelected(row))
            continue;
        if (!folder.isEmpty() || !list.isFolderRow(row))
            return QString(); // one folder, and only a folder
        folder = PanePaths::join(m_localPane->folderText().trimmed(), list.text(row, 0));
    }
    return folder;
}

bool Workspace::traceSelectedFolder(bool checkLinks)
{
    if ((m_state.ActivePane != 3 && m_state.ActivePane != 4) || m_linkChecker->isRunning())
        return false;
    const QString site = QDir::cleanPath(selectedLocalFolder());
    if (site.isEmpty() || site == u".") {
        m_dialogs.message(
            QStringLiteral("一番上のページを選択してください。"), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    // The site's folder in the local list, its files gathered into the local tree.
    m_localPane->setFolderText(site);
    m_localPane->RefreshLocalPanes();
    m_localPane->ColourLocalList();
    const QFileInfo info(site);
    if (!m_localPane->WalkLocalTree(QString(), info.fileName(), info.absolutePath()))
        return false;
    if (!checkLinks)
        return true;

    // The top page is the site's start page, selected in the list.
    const PaneListModel& list = *m_localPane->fileList();
    int top = -1;
    for (const QString& start : { QStringLiteral("index.html"), QStringLiteral("index.htm") }) {
        for (int row = 0; row < list.rowCount() && top < 0; ++row) {
            if (!list.isFolderRow(row) && list.text(row, 0).compare(start, Qt::CaseInsensitive) == 0)
                top = row;
        }
    }
    if (top < 0) {
        m_dialogs.message(
            QStringLiteral("一番上のページを選択してください。"), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    m_localPane->fileSelection()->setCurrentIndex(
        list.index(top, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    beginLinkRun();
    const bool done
        = m_linkChecker->traceFromTopPage(*m_localPane->folderTree(), PanePaths::join(site, list.text(top, 0)));
    endLinkRun();
    // Only a whole trace tells which files nothing links to: a stopped one offers no clean-up.
    m_tracedSite = done ? site : QString();
    if (done)
        m_paneCommands->menuState().topPageLinkCheckDone();
    return done;
}

CleanupResult Workspace::removeUnlinkedFiles()
{
    CleanupResult result;
    if (m_state.ActivePane == 4 && !m_tracedSite.isEmpty() && !m_linkChecker->isRunning()) {
        result = RemoveUnlinkedFiles(*m_localPane->folderTree(), m_tracedSite, m_dialogs);
        if (!result.error.isEmpty())
            m_dialogs.message(result.error, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        if (result.confirmed) {
            m_statusLines->AddStatusLine(QStringLiteral("リンクの無いファイルを移動:%1件").arg(result.moved));
            for (const QString& path : result.failedPaths)
                m_statusLines->AddStatusLine(QStringLiteral("移動できませんでした:") + path);
            m_localPane->RefreshLocalPanes();
            m_localPane->ColourLocalList();
            m_tracedSite.clear();
        }
    }
    m_paneCommands->menuState().cleanUpDone();
    return result;
}

QList<PictureSource> Workspace::selectedPictures() const
{
    QList<PictureSource> pictures;
    const auto add = [&pictures](const QString& path, bool onServer) {
        if (PictureFiles::isPicture(path.section(u'/', -1)))
            pictures.append(onServer ? PictureSource::server(path) : PictureSource::local(path));
    };
    switch (m_state.ActivePane) {
    case 2: {
        QString folder = m_transfers->shownServerFolder();
        if (!folder.endsWith(u'/'))
            folder += u'/';
        for (const QString& name : selectedFileNames(*m_remotePane->fileList(), *m_remotePane->fileSelection()))
            add(folder + name, true);
        break;
    }
    case 4:
        for (const QString& name : selectedFileNames(*m_localPane->fileList(), *m_localPane->fileSelection()))
            add(PanePaths::join(m_localPane->folderText().trimmed(), name), false);
        break;
    case 1:
    case 3: {
        // In a tree, the files the user marked.
        QStandardItemModel& tree = m_state.ActivePane == 1 ? *m_remotePane->folderTree() : *m_localPane->folderTree();
        for (QStandardItem* node : treeNodes(tree)) {
            if (!IconKeys::isFile(node->data(ItemRoles::IconKeyRole).toString()) || !m_deletes->isMarked(node))
                continue;
            const QString key = node->data(ItemRoles::NodeKeyRole).toString();
            // The FTP tree's keys begin with what the path box showed, the host name for the root.
            if (m_state.ActivePane == 1)
                add(SessionRules::withoutHostName(key, m_remotePane->hostName()), true);
            else
                add(key, false);
        }
        break;
    }
    default:
        break;
    }
    return pictures;
}
