#include "core/panes/localpane.h"

#include "core/app/appstate.h"
#include "core/app/dialogs.h"
#include "core/app/itemroles.h"
#include "core/panes/entrytexts.h"
#include "core/panes/filecolours.h"
#include "core/panes/listheaders.h"
#include "core/panes/listingrecord.h"
#include "core/panes/localfolderscan.h"
#include "core/panes/pathrules.h"
#include "core/settings/options.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

namespace {

const QString EmptyFolderMessage = QStringLiteral("This directory is empty!");
const QString BadNameMessage = QStringLiteral("長い名前か又は不正なフォルダーかファイルが有ります");
const QString EnterFolderMessage = QStringLiteral("Please enter the directory to CD");

QString errorText(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("アクセスが許可されていません。");
    case ENOENT:
        return QStringLiteral("フォルダーが有りません。");
    case ENOTDIR:
        return QStringLiteral("フォルダーではありません。");
    case EIO:
        return QStringLiteral("読み込み中にエラーが起きました。");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace

LocalPane::LocalPane(AppState& state, ListingRecord& record, Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_record(record)
    , m_dialogs(dialogs)
    , m_fileList(new PaneListModel(localListHeaders(), this))
    , m_folderTree(new QStandardItemModel(this))
    , m_driveList(new QStandardItemModel(this))
    , m_fileSelection(new QItemSelectionModel(m_fileList, this))
    , m_folderTreeSelection(new QItemSelectionModel(m_folderTree, this))
{
    m_fileList->setObjectName(QStringLiteral("ListView2"));
    m_folderTree->setObjectName(QStringLiteral("TreeView1"));
    m_driveList->setObjectName(QStringLiteral("Drive2"));
    const auto stale = [this] { m_treeIndexStale = true; };
    connect(m_folderTree, &QAbstractItemModel::rowsAboutToBeRemoved, this, stale);
    connect(m_folderTree, &QAbstractItemModel::modelAboutToBeReset, this, stale);
    connect(m_folderTree, &QAbstractItemModel::rowsMoved, this, stale);
}

LocalPane::~LocalPane() = default;

void LocalPane::setOptions(const Options& options)
{
    m_viewOptions = [&options](int index) { return options.viewOption(index); };
}

void LocalPane::setFolderText(const QString& text)
{
    if (text == m_folderText)
        return;
    m_folderText = text;
    Q_EMIT folderTextChanged(m_folderText);
}

QString LocalPane::driveText() const
{
    const QStandardItem* item = m_driveList->item(m_driveIndex);
    return item ? item->text() : QString();
}

QString LocalPane::homeFolder() { return QDir::homePath(); }

void LocalPane::showStartFolder()
{
    refreshDrives();
    m_driveIndex = m_driveList->rowCount() > 0 ? 0 : -1;
    Q_EMIT driveIndexChanged(m_driveIndex);
    const QString home = homeFolder();
    setFolderText(home);
    if (ListLocalFolder(home))
        FillLocalList();
}

bool LocalPane::ChangeLocalFolder(const QString& path)
{
    if (path.isEmpty()) {
        m_dialogs.message(EnterFolderMessage, Dialogs::Buttons::Ok);
        return false;
    }
    QString target = path.trimmed();
    if (!target.endsWith(QLatin1Char('/')) && !target.endsWith(QLatin1Char('\\')))
        target += QLatin1Char('/');
    // A folder counts as entered when it could be made the current folder: it exists and may be
    // searched. Relative paths are taken from the folder entered before.
    const QFileInfo info(QDir(m_currentFolder).absoluteFilePath(target));
    if (!info.isDir() || !info.isExecutable())
        return false;
    m_currentFolder = info.canonicalFilePath();
    rememberDriveFolder();
    return true;
}

bool LocalPane::ListLocalFolder(const QString& path)
{
    m_record.ClearListings();
    if (!path.isEmpty() && !ChangeLocalFolder(path)) {
        // The pane goes home; should even that fail, to the root, and never round in circles.
        if (!m_fallingBack) {
            m_fallingBack = true;
            const QString home = homeFolder();
            setFolderText(home);
            if (!ListLocalFolder(home)) {
                setFolderText(QStringLiteral("/"));
                ListLocalFolder(QStringLiteral("/"));
            }
            FillLocalList();
            m_fallingBack = false;
        }
        return false;
    }

    const QString folder = m_currentFolder;
    const bool hideSystemFiles = option(Options::HideSystemFiles);
    int seen = 0;
    const LocalScanResult result = scanLocalFolder(folder, [&](LocalEntry&& entry) {
        ++seen;
        if (hideSystemFiles && (entry.attributes & (FileAttribute::Hidden | FileAttribute::System)))
            return true;
        m_record.Local.push_back(std::move(entry));
        return true;
    });
    sortEntriesByName(m_record.Local);

    if (!result.invalidNames.isEmpty())
        m_dialogs.message(BadNameMessage + joinLocalPath(folder, result.invalidNames.first()), Dialogs::Buttons::Ok);
    if (result.error != 0) {
        m_dialogs.message(QStringLiteral("フォルダーの内容を読めませんでした。\n") + folder + QStringLiteral("\n")
                + errorText(result.error),
            Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    // A folder always holds "." and ".." on the first platform, so only an empty drive was ever
    // reported as empty.
    if (seen == 0 && result.invalidNames.isEmpty() && isVolumeRoot(folder))
        m_dialogs.message(EmptyFolderMessage, Dialogs::Buttons::Ok);
    return true;
}

void LocalPane::FillLocalList()
{
    const std::vector<LocalEntry>& entries = m_record.Local;
    std::vector<const LocalEntry*> ordered;
    ordered.reserve(entries.size());
    for (const LocalEntry& e : entries) {
        // Only the folder's own entries: " . " is a real file's name here.
        if (e.name == QLatin1String(".") || e.name == QLatin1String(".."))
            continue;
        ordered.push_back(&e);
    }
    // OrderLocalList's work, done before the rows exist so the view sees one reset.
    std::stable_partition(ordered.begin(), ordered.end(),
        [](const LocalEntry* e) { return (e->attributes & FileAttribute::Folder) != 0; });

    std::vector<PaneListModel::Row> rows;
    rows.reserve(ordered.size());
    // A folder holds few kinds of entries: their type texts are built once and shared.
    std::vector<std::pair<quint32, QString>> typeTexts;
    const auto typeText = [&typeTexts](quint32 attributes) {
        for (const auto& known : typeTexts) {
            if (known.first == attributes)
                return known.second;
        }
        typeTexts.emplace_back(attributes, AttributeText(attributes));
        return typeTexts.back().second;
    };
    for (const LocalEntry* e : ordered) {
        const bool isFolder = e->attributes & FileAttribute::Folder;
        rows.emplace_back(isFolder ? IconKeys::Closed : IconKeys::Leaf,
            std::initializer_list<QStringView> { e->name, isFolder ? QString() : localSizeText(e->size),
                typeText(e->attributes), localDateText(e->modified) });
    }
    m_fileList->replaceRows(std::move(rows));
    if (m_sortColumn != -1) {
        m_sortColumn = -1;
        Q_EMIT sortIndicatorChanged(m_sortColumn, m_sortOrder);
    }
}

void LocalPane::OrderLocalList() { m_fileList->orderFoldersFirst(); }

void LocalPane::RefreshLocalPanes()
{
    const QString folder = folderText().trimmed();
    const bool listed = ListLocalFolder(folder);
    if (listed)
        setFolderText(folder);
    FillLocalList();
}

void LocalPane::sortByHeader(const QString& headerText)
{
    const int column = sortColumnForHeader(headerText);
    if (column < 0)
        return;
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sortColumn = column;
    m_fileList->sortByColumnText(column, m_sortOrder);
    Q_EMIT sortIndicatorChanged(m_sortColumn, m_sortOrder);
}

void LocalPane::refreshDrives()
{
    const QString current = m_driveIndex >= 0 && m_driveList->item(m_driveIndex)
        ? m_driveList->item(m_driveIndex)->data(ItemRoles::NodeKeyRole).toString()
        : QStringLiteral("/");
    QList<QPair<QString, QString>> drives; // root, shown text
    drives.append({ QStringLiteral("/"), QStringLiteral("/") });
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || root == QLatin1String("/") || roots.contains(root))
            continue;
        if (!QFileInfo(root).isDir())
            continue; // a single file mounted over another (containers do this)
        roots.append(root);
        const QString label = volume.name().trimmed();
        drives.append({ root, label.isEmpty() ? root : root + QStringLiteral(" [") + label + QStringLiteral("]") });
    }
    std::sort(drives.begin() + 1, drives.end());
    m_driveList->clear();
    int index = 0;
    for (int i = 0; i < drives.size(); ++i) {
        auto* item = new QStandardItem(drives[i].second);
        item->setData(drives[i].first, ItemRoles::NodeKeyRole);
        item->setEditable(false);
        m_driveList->appendRow(item);
        if (drives[i].first == current)
            index = i;
    }
    m_driveIndex = index;
    Q_EMIT driveIndexChanged(m_driveIndex);
}

void LocalPane::chooseDrive(int index)
{
    const QStandardItem* item = m_driveList->item(index);
    if (!item)
        return;
    if (index != m_driveIndex) {
        m_driveIndex = index;
        Q_EMIT driveIndexChanged(m_driveIndex);
    }
    const QString root = item->data(ItemRoles::NodeKeyRole).toString();
    QString folder = m_driveFolders.value(root, root);
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    setFolderText(folder);
    if (ListLocalFolder(folder))
        FillLocalList();
}

bool LocalPane::isVolumeRoot(const QString& folder) const
{
    const QString clean = QDir::cleanPath(folder);
    if (clean == QLatin1String("/"))
        return true;
    for (int i = 0; i < m_driveList->rowCount(); ++i) {
        if (QDir::cleanPath(m_driveList->item(i)->data(ItemRoles::NodeKeyRole).toString()) == clean)
            return true;
    }
    return false;
}

void LocalPane::rememberDriveFolder()
{
    const QString folder = m_currentFolder;
    const QString root = QStorageInfo(folder).rootPath();
    if (!root.isEmpty())
        m_driveFolders.insert(root, folder);
}

void LocalPane::MoveUpLocalFolder()
{
    if (m_treeFrameShown)
        clearTree();
    const QString text = folderText().trimmed();
    const QString driveRoot = StripDriveLabel(driveText()).trimmed();
    if (text == driveRoot || text == QLatin1String("/"))
        return;
    // "/home/u/" is the folder /home/u: its parent is /home, not itself.
    QString current = text;
    while (current.size() > 1 && current.endsWith(QLatin1Char('/')))
        current.chop(1);
    if (current.contains(QLatin1Char('/'))) {
        QString parent = parentFolderText(current).trimmed();
        if (parent.isEmpty())
            parent = QStringLiteral("/");
        setFolderText(parent);
        if (ListLocalFolder(parent))
            FillLocalList();
    }
    ColourLocalList();
}

void LocalPane::clearTree()
{
    m_folderTree->clear();
    m_treeNodes.clear();
    m_treeByKey.clear();
    m_treeIndexStale = false;
}

void LocalPane::ensureTreeIndex()
{
    if (!m_treeIndexStale)
        return;
    // Someone removed nodes: rebuild the index in tree order (parents still before children).
    m_treeNodes.clear();
    m_treeByKey.clear();
    std::vector<QStandardItem*> stack;
    for (int r = m_folderTree->rowCount() - 1; r >= 0; --r)
        stack.push_back(m_folderTree->item(r));
    while (!stack.empty()) {
        QStandardItem* node = stack.back();
        stack.pop_back();
        if (!node)
            continue;
        m_treeNodes.push_back(node);
        m_treeByKey.insert(node->data(ItemRoles::NodeKeyRole).toString(), node);
        for (int r = node->rowCount() - 1; r >= 0; --r)
            stack.push_back(node->child(r));
    }
    m_treeIndexStale = false;
}

QStandardItem* LocalPane::addTreeNode(
    QStandardItem* parent, const QString& text, const QString& key, const QString& icon)
{
    auto* node = new QStandardItem(text);
    node->setData(key, ItemRoles::NodeKeyRole);
    node->setData(icon, ItemRoles::IconKeyRole);
    node->setEditable(false);
    if (parent)
        parent->appendRow(node);
    else
        m_folderTree->appendRow(node);
    m_treeIndexStale = false; // our own insertion keeps the index valid
    m_treeNodes.push_back(node);
    m_treeByKey.insert(key, node);
    return node;
}

void LocalPane::reportTreeCounts()
{
    Q_EMIT treeCountsChanged(QStringLiteral("ﾌｫﾙﾀﾞ数:") + QString::number(m_treeFolders) + QStringLiteral("  ﾌｧｲﾙ数:")
        + QString::number(m_treeFiles));
}

bool LocalPane::WalkLocalTree(const QString& parentKey, const QString& folderName, const QString& parentFolder)
{
    if (parentKey.isEmpty())
        clearTree();
    ensureTreeIndex();
    Q_EMIT busyChanged(true);
    m_treeFolders = 0;
    m_treeFiles = 0;

    QString topKey = parentFolder;
    if (!topKey.endsWith(QLatin1Char('/')))
        topKey += QLatin1Char('/');
    topKey += folderName;
    // A parent that is not in the tree gets the folder as a root node.
    addTreeNode(parentKey.isEmpty() ? nullptr : m_treeByKey.value(parentKey), folderName, topKey, IconKeys::Closed);

    std::set<std::pair<quint64, quint64>> walked;
    QStringList unreadable;
    int counter = 0;
    bool stopped = false;
    std::vector<LocalEntry> entries;
    for (size_t i = 0; i < m_treeNodes.size() && !stopped; ++i) {
        QStandardItem* node = m_treeNodes[i];
        if (node->data(ItemRoles::IconKeyRole).toString() != IconKeys::Closed)
            continue;
        node->setData(IconKeys::Open, ItemRoles::IconKeyRole);
        const QString key = node->data(ItemRoles::NodeKeyRole).toString();
        // Symbolic links can lead back up the tree: every real folder is walked once.
        const std::optional<FolderIdentity> id = folderIdentity(key);
        if (!id) {
            unreadable.append(key);
            continue;
        }
        if (!walked.insert({ id->device, id->inode }).second)
            continue;

        entries.clear();
        const LocalScanResult result = scanLocalFolder(key, [&entries](LocalEntry&& e) {
            entries.push_back(std::move(e));
            return true;
        });
        if (result.error != 0)
            unreadable.append(key);
        sortEntriesByName(entries);
        for (const LocalEntry& e : entries) {
            if (e.name.isEmpty())
                continue;
            const bool isFolder = e.attributes & FileAttribute::Folder;
            addTreeNode(node, e.name, key + QLatin1Char('/') + e.name, isFolder ? IconKeys::Closed : IconKeys::Leaf);
            if (isFolder)
                ++m_treeFolders;
            else
                ++m_treeFiles;
            if (++counter >= 10) {
                counter = 0;
                reportTreeCounts();
                QCoreApplication::processEvents();
                // Processing events may have let someone change the tree under us.
                if (m_treeIndexStale) {
                    stopped = true;
                    break;
                }
            }
            if (m_state.takeStopRequest()) {
                stopped = true;
                break;
            }
        }
    }
    reportTreeCounts();
    Q_EMIT busyChanged(false);
    if (!unreadable.isEmpty()) {
        QString text = QStringLiteral("読めないフォルダーが有りました（%1 個）。\n").arg(unreadable.size());
        text += unreadable.mid(0, 5).join(QLatin1Char('\n'));
        if (unreadable.size() > 5)
            text += QStringLiteral("\n…");
        m_dialogs.message(text, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
    }
    return !stopped;
}

QStringList LocalPane::treeNodeKeys() const
{
    const_cast<LocalPane*>(this)->ensureTreeIndex();
    QStringList keys;
    keys.reserve(qsizetype(m_treeNodes.size()));
    for (const QStandardItem* node : m_treeNodes)
        keys.append(node->data(ItemRoles::NodeKeyRole).toString());
    return keys;
}

void LocalPane::ColourLocalList() { colourListRows(*m_fileList, ListSide::Local, option(Options::NoFileColours)); }

bool LocalPane::openLocalFolderRow(int row)
{
    if (!m_fileList->isFolderRow(row))
        return false;
    QString path = folderText().trimmed() + QLatin1Char('/') + m_fileList->text(row, 0).trimmed();
    while (path.contains(QLatin1String("//")))
        path.replace(QLatin1String("//"), QLatin1String("/"));
    const bool listed = ListLocalFolder(path);
    if (listed) {
        setFolderText(path);
        FillLocalList();
    }
    ColourLocalList();
    return listed;
}

void LocalPane::goToTypedFolder()
{
    QString typed = folderText().trimmed();
    if (typed.isEmpty()) {
        ChangeLocalFolder(typed);
        return;
    }
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed = homeFolder() + typed.mid(1);
    const QString absolute = QDir::cleanPath(QDir(m_currentFolder).absoluteFilePath(typed));
    if (ListLocalFolder(absolute)) {
        setFolderText(absolute);
        FillLocalList();
    }
    ColourLocalList();
}
