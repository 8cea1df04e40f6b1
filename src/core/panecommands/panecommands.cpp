#include "core/panecommands/panecommands.h"

#include "core/app/appstate.h"
#include "core/app/datafolder.h"
#include "core/app/dialogs.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/ftpsession/remotepane.h"
#include "core/log/activitylog.h"
#include "core/panecommands/localfileops.h"
#include "core/panecommands/panepaths.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/transfer/moderules.h"
#include "core/transfer/transfers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTimer>

namespace {

QString iconKey(const QAbstractItemModel* model, int row)
{
    return model->index(row, 0).data(ItemRoles::IconKeyRole).toString();
}

// A file the clean-up moved away is no longer there to work on.
bool isFileKey(const QString& key) { return IconKeys::isFile(key) && key != IconKeys::LeafKill; }

QString firstSelectedName(const QAbstractItemModel* model, const QItemSelectionModel* selection)
{
    for (int r = 0; r < model->rowCount(); ++r) {
        if (selection->isRowSelected(r, QModelIndex()))
            return model->index(r, 0).data().toString();
    }
    return QString();
}

QString lastResponseLine(const QString& response)
{
    const QStringList lines = response.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last().trimmed().left(200);
}

} // namespace

class PaneCommands::Busy {
public:
    explicit Busy(PaneCommands& owner)
        : m_owner(owner)
    {
        Q_EMIT m_owner.busyChanged(true);
    }
    ~Busy() { Q_EMIT m_owner.busyChanged(false); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    PaneCommands& m_owner;
};

PaneCommands::PaneCommands(AppState& state, LocalPane& localPane, RemotePane& remotePane, ModeRules& modeRules,
    Transfers& transfers, ActivityLog& log, StatusLines& statusLines, Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_localPane(localPane)
    , m_remotePane(remotePane)
    , m_modeRules(modeRules)
    , m_transfers(transfers)
    , m_log(log)
    , m_statusLines(statusLines)
    , m_dialogs(dialogs)
{
}

PaneCommands::~PaneCommands() = default;

QString PaneCommands::tempFolder() const
{
    return m_tempFolder.isEmpty() ? DataFolder::file(QStringLiteral("temp")) : m_tempFolder;
}

QString PaneCommands::folderCopyRefusal()
{
    return QStringLiteral("FTPサーバー上のフォルダーはコピー又は移動出来ません｡") + QStringLiteral("\r\n")
        + QStringLiteral("ファイル単位でコピー又は移動します。");
}

// Clicks ---------------------------------------------------------------------------------------------

void PaneCommands::onLocalTreeClicked()
{
    m_state.ActivePane = 3;
    m_menu.SetLocalMenuState();
}

void PaneCommands::onFtpTreeClicked()
{
    m_state.ActivePane = 1;
    m_menu.SetRemoteMenuState();
}

void PaneCommands::onLocalListClicked(int row)
{
    m_state.ActivePane = 4;
    const PaneListModel* list = m_localPane.fileList();
    const bool valid = row >= 0 && row < list->rowCount();
    const QString name = valid ? list->index(row, 0).data().toString() : QString();
    const QString key = valid ? iconKey(list, row) : QString();
    m_menu.localListClicked(name, key == IconKeys::Closed, ClipboardSource);
    Q_EMIT firstStatusPanelRequested(QStringLiteral("ﾛｰｶﾙﾌｫﾙﾀﾞ"));
}

void PaneCommands::onFtpListClicked(int row)
{
    m_state.ActivePane = 2;
    PaneListModel* list = m_remotePane.fileList();
    const bool valid = row >= 0 && row < list->rowCount();
    const QString name = valid ? list->index(row, 0).data().toString() : QString();
    m_menu.ftpListClicked(name, ClipboardSource);
    for (int r = 0; r < list->rowCount(); ++r) {
        const QString k = list->iconKey(r);
        if (k == IconKeys::Leaf2 || k == IconKeys::Leaf3)
            list->setData(list->index(r, 0), IconKeys::Leaf, ItemRoles::IconKeyRole);
    }
    Q_EMIT firstStatusPanelRequested(QStringLiteral("FTPﾌｫﾙﾀﾞ"));
}

QString PaneCommands::FirstSelectedRemoteName() const
{
    return firstSelectedName(m_remotePane.fileList(), m_remotePane.fileSelection());
}

QString PaneCommands::FirstSelectedLocalName() const
{
    return firstSelectedName(m_localPane.fileList(), m_localPane.fileSelection());
}

// Copy and paste -------------------------------------------------------------------------------------

void PaneCommands::copy(const QString& focused)
{
    const QString target = focused.toLower();
    if (target == QLatin1String("listview2")) {
        ClipboardSource = QStringLiteral("listview2");
        fillLocalClipboard();
    } else if (target == QLatin1String("listview1")) {
        ClipboardSource = QStringLiteral("listview1");
        Busy busy(*this);
        CopyRemoteToTemp();
    }
    m_menu.copied(ClipboardSource == target ? target : QString());
}

void PaneCommands::fillLocalClipboard()
{
    LocalClipboard.clear();
    const PaneListModel* list = m_localPane.fileList();
    const QItemSelectionModel* selection = m_localPane.fileSelection();
    const QString folder = m_localPane.folderText();
    for (int r = 0; r < list->rowCount(); ++r) {
        if (selection->isRowSelected(r, QModelIndex()))
            LocalClipboard.append(PanePaths::join(folder, list->index(r, 0).data().toString()));
    }
}

QString PaneCommands::currentServerFolder()
{
    FtpConnection* connection = m_remotePane.FtpHandle();
    QString folder;
    if (connection && connection->getCurrentDirectory(&folder) && folder.startsWith(u'/'))
        return PanePaths::collapseSlashes(folder);
    return PanePaths::serverFolder(m_remotePane.folderText(), m_remotePane.hostName());
}

bool PaneCommands::ftpRowIsFile(int row) const { return isFileKey(iconKey(m_remotePane.fileList(), row)); }

bool PaneCommands::CopyRemoteToTemp()
{
    const QString temp = tempFolder();
    QDir tempDir(temp);
    for (const QString& name : tempDir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        tempDir.remove(name);
    QDir().mkpath(temp);
    TempCopies.clear();
    TempCopySources.clear();

    FtpConnection* connection = m_remotePane.FtpHandle();
    if (!connection)
        return false;
    PaneListModel* list = m_remotePane.fileList();
    QItemSelectionModel* selection = m_remotePane.fileSelection();
    const QString txtDir = m_remotePane.folderText();
    const QString serverFolder = currentServerFolder();
    bool copied = false;
    const int rows = list->rowCount();
    for (int r = 0; r < rows && r < list->rowCount(); ++r) {
        if (!selection->isRowSelected(r, QModelIndex()))
            continue;
        if (!ftpRowIsFile(r)) {
            m_dialogs.message(folderCopyRefusal(), Dialogs::Buttons::Ok);
            continue;
        }
        const QString name = list->index(r, 0).data().toString();
        if (!PanePaths::isPlainName(name))
            continue;
        const QString local = temp + QLatin1Char('/') + name;
        if (m_transfers.FtpGetFileConv(connection, name, local, false, m_modeRules.SetTransferMode(name))) {
            const QString shown = PanePaths::join(txtDir, name);
            m_log.write(QStringLiteral("<FTPファイルのコピー>"), shown, QStringLiteral("</FTPファイルのコピー>"));
            m_statusLines.AddStatusLine(QStringLiteral("ファイルコピー:") + shown);
            selection->select(list->index(r, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
            TempCopies.append(local);
            TempCopySources.append(PanePaths::join(serverFolder, name));
            copied = true;
        } else {
            m_statusLines.AddStatusLine(QStringLiteral("ファイルコピー失敗:") + PanePaths::join(txtDir, name));
        }
        QCoreApplication::processEvents();
        if (m_state.takeStopRequest() || !m_remotePane.FtpHandle())
            break;
    }
    return copied;
}

void PaneCommands::PasteTempToServer()
{
    Busy busy(*this);
    for (int i = 0; i < TempCopies.size(); ++i) {
        FtpConnection* connection = m_remotePane.FtpHandle();
        if (!connection)
            return;
        const QString name = PanePaths::lastPart(TempCopies[i]);
        if (m_transfers.FtpPutFileConv(connection, TempCopies[i], name, m_modeRules.SetTransferMode(name))) {
            const QString shown = PanePaths::join(m_remotePane.folderText(), name);
            m_log.writeEntry(m_log.dateOnlyEntry(
                QStringLiteral("<ファイルの貼り付け>"), shown, QStringLiteral("</ファイルの貼り付け>")));
            m_statusLines.AddStatusLine(QStringLiteral("ファイルの貼り付け:") + shown);
        }
        QCoreApplication::processEvents();
        if (m_state.takeStopRequest())
            return;
    }
}

void PaneCommands::paste(const QString& focused)
{
    const QString target = focused.toLower();
    if (target == QLatin1String("listview1")) {
        if (!m_remotePane.FtpHandle())
            return;
        Busy busy(*this);
        PaneListModel* list = m_remotePane.fileList();
        QItemSelectionModel* selection = m_remotePane.fileSelection();
        const QModelIndex current = selection->currentIndex();
        int row = current.isValid() && selection->isRowSelected(current.row(), QModelIndex()) ? current.row() : -1;
        for (int r = 0; row < 0 && r < list->rowCount(); ++r) {
            if (selection->isRowSelected(r, QModelIndex()))
                row = r;
        }
        if (row >= 0 && !ftpRowIsFile(row))
            m_remotePane.openFtpFolderRow(row);
        PasteTempToServer();
        m_remotePane.RefreshFtpPanes();
        selection->clearSelection();
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else if (target == QLatin1String("listview2")) {
        pasteLocal();
    }
}

void PaneCommands::relistLocal()
{
    const QString folder = m_localPane.folderText().trimmed();
    if (m_localPane.ListLocalFolder(folder))
        m_localPane.FillLocalList();
    m_localPane.ColourLocalList();
}

void PaneCommands::pasteLocal()
{
    const QString folder = m_localPane.folderText().trimmed();
    for (const QString& source : std::as_const(LocalClipboard)) {
        const QString destination = PanePaths::join(folder, PanePaths::lastPart(source));
        // The disk decides what a path is: a dot in a folder's name does not make it a file.
        const QFileInfo info(source);
        if (info.isDir() && !info.isSymLink()) {
            CopyLocalFolder(source, destination);
        } else if (LocalFileOps::copyFileOver(source, destination)) {
            const QString details = source + QStringLiteral(" -> ") + destination;
            m_log.write(QStringLiteral("<ファイルの貼り付け>"), details, QStringLiteral("</ファイルの貼り付け>"));
            m_statusLines.AddStatusLine(QStringLiteral("ファイルの貼り付け:") + details);
        }
    }
    relistLocal();
}

bool PaneCommands::CopyLocalFolder(const QString& source, const QString& destination)
{
    const QString from = PanePaths::collapseSlashes(source);
    QString copiedTo;
    if (!LocalFileOps::copyTree(from, PanePaths::collapseSlashes(destination), &copiedTo))
        return false;
    const QString details = from + QStringLiteral(" -> ") + copiedTo;
    m_log.write(QStringLiteral("<フォルダーの貼り付け>"), details, QStringLiteral("</フォルダーの貼り付け>"));
    m_statusLines.AddStatusLine(QStringLiteral("フォルダーの貼り付け:") + details);
    return true;
}

void PaneCommands::MoveTempToServer()
{
    const QString destinationFolder = currentServerFolder();
    for (int i = 0; i < TempCopies.size() && i < TempCopySources.size(); ++i) {
        FtpConnection* connection = m_remotePane.FtpHandle();
        if (!connection)
            return;
        const QString name = PanePaths::lastPart(TempCopies[i]);
        // Onto its own folder: the copy would land on the source, and deleting the source would
        // then delete the only copy.
        if (PanePaths::join(destinationFolder, name) == TempCopySources[i])
            continue;
        if (!m_transfers.FtpPutFileConv(connection, TempCopies[i], name, m_modeRules.SetTransferMode(name)))
            continue;
        const QString shown = PanePaths::join(m_remotePane.folderText(), name);
        m_log.write(QStringLiteral("<FTPサーバーファイルのペースト>"), shown,
            QStringLiteral("</FTPサーバーファイルのペースト>"));
        m_statusLines.AddStatusLine(QStringLiteral("FTPサーバーファイルのペースト:") + shown);
        if (connection->deleteFile(TempCopySources[i])) {
            m_log.write(QStringLiteral("<FTPサーバーファイの削除>"), TempCopySources[i],
                QStringLiteral("</FTPサーバーファイの削除>"));
            m_statusLines.AddStatusLine(QStringLiteral("FTPサーバーファイの削除:") + TempCopySources[i]);
        } else {
            // The copy arrived, the source stays: the user has two files and is told so.
            m_statusLines.AddStatusLine(QStringLiteral("FTPサーバーファイの削除失敗:") + TempCopySources[i]);
        }
        QCoreApplication::processEvents();
        if (m_state.takeStopRequest())
            return;
    }
}

// Drag and drop --------------------------------------------------------------------------------------

void PaneCommands::selectFtpRow(int row)
{
    QItemSelectionModel* selection = m_remotePane.fileSelection();
    const QModelIndex index = m_remotePane.fileList()->index(row, 0);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void PaneCommands::dropOnFtpList(int targetRow)
{
    const QString source = DragSource;
    DragSource.clear();
    PaneListModel* list = m_remotePane.fileList();
    const bool onRow = targetRow >= 0 && targetRow < list->rowCount();
    if (source.compare(QLatin1String("listview2"), Qt::CaseInsensitive) == 0) {
        if (!m_state.IsConnected || !m_remotePane.FtpHandle()) {
            m_dialogs.message(notConnectedText(), Dialogs::Buttons::Ok);
            return;
        }
        if (onRow && iconKey(list, targetRow) == IconKeys::Closed) {
            selectFtpRow(targetRow);
            // A folder that cannot be entered receives nothing: the files would land beside it.
            if (!m_remotePane.openFtpFolderRow(targetRow))
                return;
        }
        m_transfers.UploadSelection();
    } else if (source.compare(QLatin1String("listview1"), Qt::CaseInsensitive) == 0 && onRow) {
        const QString target = list->index(targetRow, 0).data().toString();
        if (CopyRemoteToTemp()) {
            const int found = list->rowNamed(target);
            if (found >= 0) {
                selectFtpRow(found);
                m_remotePane.openFtpFolderRow(found);
            }
            MoveTempToServer();
            m_remotePane.RefreshFtpPanes();
        }
        m_remotePane.fileSelection()->clearSelection();
    }
}

void PaneCommands::dropOnLocalList(int targetRow)
{
    const QString source = DragSource;
    DragSource.clear();
    PaneListModel* list = m_localPane.fileList();
    const bool onRow = targetRow >= 0 && targetRow < list->rowCount();
    if (source.compare(QLatin1String("listview1"), Qt::CaseInsensitive) == 0) {
        if (!m_remotePane.FtpHandle())
            return;
        if (onRow && iconKey(list, targetRow) == IconKeys::Closed) {
            m_localPane.fileSelection()->setCurrentIndex(
                list->index(targetRow, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            // A folder that cannot be opened receives nothing (the pane has fallen back elsewhere).
            if (!m_localPane.openLocalFolderRow(targetRow))
                return;
        }
        m_transfers.DownloadSelection();
    } else if (source.compare(QLatin1String("listview2"), Qt::CaseInsensitive) == 0 && onRow) {
        moveLocalSelectionInto(targetRow);
    }
}

void PaneCommands::moveLocalSelectionInto(int targetRow)
{
    PaneListModel* list = m_localPane.fileList();
    const QItemSelectionModel* selection = m_localPane.fileSelection();
    if (iconKey(list, targetRow) != IconKeys::Closed)
        return;
    const QString folder = m_localPane.folderText().trimmed();
    const QString target = PanePaths::join(folder, list->index(targetRow, 0).data().toString());
    for (int r = list->rowCount() - 1; r >= 0; --r) {
        if (r == targetRow || !selection->isRowSelected(r, QModelIndex()))
            continue;
        const QString name = list->index(r, 0).data().toString();
        if (!PanePaths::isPlainName(name))
            continue;
        const QString from = PanePaths::join(folder, name);
        const QString to = PanePaths::join(target, name);
        if (LocalFileOps::moveEntry(from, to)) {
            m_log.write(QStringLiteral("<ファイル又はフォルダー移動>"), from + QStringLiteral(" -> ") + to,
                QStringLiteral("</ファイル又はフォルダー移動>"));
            m_statusLines.AddStatusLine(
                QStringLiteral("ファイル又はフォルダー移動:") + from + QStringLiteral("->") + to);
        }
    }
    relistLocal();
}

// Rename -------------------------------------------------------------------------------------------

void PaneCommands::beginFtpRename(int row)
{
    const PaneListModel* list = m_remotePane.fileList();
    RenameOldName = row >= 0 && row < list->rowCount() ? list->index(row, 0).data().toString() : QString();
}

bool PaneCommands::renameAllowed(const QString& oldName, const QString& newName)
{
    switch (PanePaths::checkRename(oldName, newName)) {
    case PanePaths::RenameCheck::Cancel:
        return false;
    case PanePaths::RenameCheck::Refuse:
        m_statusLines.AddStatusLine(QStringLiteral("ファイル名の変更ができません:") + newName);
        return false;
    case PanePaths::RenameCheck::Go:
        return true;
    }
    return false;
}

bool PaneCommands::renameFtpEntry(const QString& oldName, const QString& newName)
{
    if (!renameAllowed(oldName, newName))
        return false;
    FtpConnection* connection = m_remotePane.FtpHandle();
    if (!connection || !PanePaths::isPlainName(oldName))
        return false;
    const bool watching = m_connectionWatch && m_connectionWatch->isActive();
    if (m_connectionWatch)
        m_connectionWatch->stop();
    const bool ok = connection->renameFile(oldName, newName);
    if (watching && m_remotePane.FtpHandle())
        m_connectionWatch->start();
    if (!ok) {
        m_statusLines.AddStatusLine(QStringLiteral("ファイル名の変更ができません:") + oldName + QStringLiteral("→")
            + newName + QLatin1Char(' ') + lastResponseLine(connection->lastResponse()));
        return false;
    }
    m_statusLines.AddStatusLine(QStringLiteral("ファイル名の変更:") + oldName + QStringLiteral("→") + newName);
    return true;
}

bool PaneCommands::renameLocalEntry(const QString& oldName, const QString& newName)
{
    if (!renameAllowed(oldName, newName))
        return false;
    if (!PanePaths::isPlainName(oldName))
        return false;
    const QString folder = m_localPane.folderText().trimmed();
    const QString from = PanePaths::join(folder, oldName);
    const QString to = PanePaths::join(folder, newName);
    bool replace = false;
    const QFileInfo existing(to);
    if (existing.exists() || existing.isSymLink()) {
        if (m_dialogs.message(newName + QStringLiteral(" は既に有ります。上書きしますか?"), Dialogs::Buttons::YesNo,
                Dialogs::Icon::Question)
            != Dialogs::Answer::Yes)
            return false;
        replace = true;
    }
    if (!LocalFileOps::renameEntry(from, to, replace)) {
        m_statusLines.AddStatusLine(QStringLiteral("ファイル名の変更ができません:") + from + QStringLiteral("→") + to);
        return false;
    }
    m_statusLines.AddStatusLine(QStringLiteral("ファイル名の変更:") + from + QStringLiteral("→") + to);
    return true;
}
