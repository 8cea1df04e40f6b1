// The main window's part of the pane commands: the file-operation menu `Mm1` and its dispatcher,
// the toolbar, the edit menu `mhen`, the clicks, drags and drops of the four panes, renaming in
// both lists, the double-click on local files and the viewer `FrmPic`.
#include "core/app/dialogs.h"
#include "core/app/statusreport.h"
#include "core/ftpsession/remotepane.h"
#include "core/manage/permissions.h"
#include "core/panecommands/menustate.h"
#include "core/panecommands/panecommands.h"
#include "core/panecommands/panepaths.h"
#include "core/app/itemroles.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/transfer/transfers.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "gui/panes/frmpic.h"
#include "gui/panes/listrenamer.h"
#include "gui/panes/localpanewidget.h"
#include "gui/panes/localtreepanel.h"
#include "gui/panes/panekeys.h"
#include "gui/panes/panemouse.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTextEdit>
#include <QTreeView>
#include <QUrl>

namespace {

} // namespace

void MainWindow::createCommands()
{
    m_paneCommands = std::make_unique<PaneCommands>(
        m_state, *m_localPane, *m_remotePane, *m_modeRules, *m_transfers, *m_activityLog, *m_statusLines, *m_dialogs);
    m_paneCommands->setConnectionWatch(m_connectionWatch);
    connect(&m_paneCommands->menuState(), &MenuState::changed, this, &MainWindow::applyMenuState);
    connect(m_paneCommands.get(), &PaneCommands::firstStatusPanelRequested, this,
        [this](const QString& text) { m_statusReport->setStatusPanel(0, text); });
    connect(m_paneCommands.get(), &PaneCommands::busyChanged, this, [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });

    QTreeView* listView2 = m_localPaneWidget->fileView();
    m_paneMouse = new PaneMouse(*m_paneCommands, m_fileList, listView2, m_frame3->treeView(), m_folderTree, this);
    m_paneKeys = new PaneKeys(*m_paneCommands, m_fileList, listView2, m_frame3->treeView(), m_folderTree, this);
    // The keys do what the menu offers for the pane, nothing more.
    connect(m_paneKeys, &PaneKeys::deleteRequested, this, [this] {
        if (m_M1[6]->isEnabled())
            M1_Click(6);
    });
    connect(m_paneKeys, &PaneKeys::renameRequested, this, [this] {
        if (m_M1[11]->isEnabled())
            M1_Click(11);
    });

    for (int i : MenuState::itemIndexes())
        connect(m_M1[i], &QAction::triggered, this, [this, i] { M1_Click(i); });
    for (const QString& key : MenuState::buttonKeys()) {
        // Stop is connected where the toolbar is made; the reservations come with the schedule.
        if (key == QLatin1String("Stop") || key == QLatin1String("Timer"))
            continue;
        connect(m_toolbarButtons[key], &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    }
    for (int i : { 1, 3, 4, 5, 6 }) {
        m_mh[i]->setEnabled(true);
        connect(m_mh[i], &QAction::triggered, this, [this, i] { mh_Click(i); });
    }
    // The FTP list's pop-up clears the drop highlight afterwards.
    connect(m_Mm1, &QMenu::aboutToHide, m_fileList, [this] { m_fileList->viewport()->update(); });

    // Double-clicks on folders are the local pane's own; files come here.
    connect(m_localPaneWidget, &LocalPaneWidget::fileRowDoubleClicked, this, &MainWindow::ListView2_DblClick);

    m_frmPic = new FrmPic(*m_dialogs, m_central);
    m_frmPic->setStoreOnServer(
        [this](const QString& text, const QString& ftpName) { m_transfers->UpdateRemoteFile(text, ftpName); });

    m_renamer = new ListRenamer(*m_paneCommands, *m_localPane, m_fileList, m_remotePane->fileList(), listView2,
        m_localPane->fileList(), this);
    applyMenuState();
}

void MainWindow::applyMenuState()
{
    const MenuState& menu = m_paneCommands->menuState();
    for (int i : MenuState::itemIndexes()) {
        m_M1[i]->setText(menu.caption(i));
        m_M1[i]->setEnabled(menu.itemEnabled(i));
    }
    for (const QString& key : MenuState::buttonKeys()) {
        // The reservation panel comes with the schedule.
        if (key != QLatin1String("Timer"))
            m_toolbarButtons[key]->setEnabled(menu.buttonEnabled(key));
    }
}

namespace {

// The list that has the focus, by name, as the copy and paste commands compare it.
QString focusedName()
{
    const QWidget* focus = QApplication::focusWidget();
    // The view's viewport or an editor inside it counts as the view.
    while (focus && !focus->objectName().startsWith(QLatin1String("ListView")) && focus->parentWidget()
        && qobject_cast<const QAbstractItemView*>(focus->parentWidget()))
        focus = focus->parentWidget();
    return focus ? focus->objectName().toLower() : QString();
}

} // namespace

void MainWindow::M1_Click(int index)
{
    PaneCommands& commands = *m_paneCommands;
    switch (index) {
    case 4:
        makeFolderInActivePane();
        break;
    case 6:
        deleteInActivePane();
        break;
    case 8:
        commands.copy(focusedName());
        break;
    case 9:
        commands.paste(focusedName());
        break;
    case 11:
        if (m_state.ActivePane == 2 || m_state.ActivePane == 4)
            m_renamer->start(m_state.ActivePane == 2);
        break;
    case 13:
        m_permissions->ShowPermissionPanel();
        break;
    case 15:
    case 19:
        // The link checker and the image viewer come with the site tools.
        break;
    case 16:
        if (m_state.ActivePane == 3 || m_state.ActivePane == 4)
            commands.menuState().topPageLinkCheckDone();
        break;
    case 17:
        commands.menuState().cleanUpDone();
        break;
    default:
        break;
    }
}

void MainWindow::Toolbar1_ButtonClick(const QString& key)
{
    static const QHash<QString, int> items { { QStringLiteral("open"), 4 }, { QStringLiteral("cut"), 6 },
        { QStringLiteral("copy"), 8 }, { QStringLiteral("paste"), 9 }, { QStringLiteral("link1"), 15 },
        { QStringLiteral("link2"), 16 }, { QStringLiteral("linkcut"), 17 }, { QStringLiteral("imageshow"), 19 } };
    if (key == QLatin1String("Stop")) {
        m_state.StopRequested = true;
        return;
    }
    if (const int item = items.value(key); item != 0)
        M1_Click(item);
}

void MainWindow::mh_Click(int index)
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return;
    const QString name = focusedName();
    if (name == QLatin1String("listview1") || name == QLatin1String("listview2")) {
        // In either list the edit menu copies and pastes local files only.
        if (index == 4)
            m_paneCommands->fillLocalClipboard();
        else if (index == 5)
            m_paneCommands->pasteLocal();
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        switch (index) {
        case 1:
            if (line->isUndoAvailable())
                line->undo();
            break;
        case 3:
            line->cut();
            break;
        case 4:
            line->copy();
            break;
        case 5:
            line->paste();
            break;
        case 6:
            line->del();
            break;
        default:
            break;
        }
        return;
    }
    auto edit = [index](auto* box) {
        switch (index) {
        case 1:
            if (box->document()->isUndoAvailable())
                box->undo();
            break;
        case 3:
            box->cut();
            break;
        case 4:
            box->copy();
            break;
        case 5:
            box->paste();
            break;
        case 6:
            box->textCursor().removeSelectedText();
            break;
        default:
            break;
        }
    };
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        edit(plain);
    else if (auto* rich = qobject_cast<QTextEdit*>(focus))
        edit(rich);
}

void MainWindow::ListView2_DblClick(int row)
{
    const PaneListModel* list = m_localPane->fileList();
    if (row < 0 || row >= list->rowCount())
        return;
    if (!IconKeys::isFile(list->index(row, 0).data(ItemRoles::IconKeyRole).toString()))
        return;
    const QString name = list->index(row, 0).data().toString().trimmed();
    if (!PanePaths::isPlainName(name))
        return;
    const QString folder = m_localPane->folderText().trimmed();
    const QFileInfo file(PanePaths::join(folder, name));
    if (file.isFile() && file.isExecutable()) {
        if (askUser().message(
                QStringLiteral("プログラムを実行しますか?"), Dialogs::Buttons::YesNo, Dialogs::Icon::Question)
            == Dialogs::Answer::Yes)
            QProcess::startDetached(file.absoluteFilePath(), {}, file.absolutePath());
        return;
    }
    OpenLocalFile(name);
}

void MainWindow::OpenLocalFile(const QString& name)
{
    const QString path = PanePaths::join(m_localPane->folderText().trimmed(), name);
    const QString extension = name.mid(name.lastIndexOf(u'.') + 1).toLower();
    m_frmPic->nameBox()->setText(name);
    if (name.contains(u'.') && MenuState::isPictureName(name)) {
        if (!m_frmPic->showLocalPicture(path))
            askUser().message(
                path + QStringLiteral(" を読み込めません。"), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
    } else if (name.contains(u'.') && extension == QLatin1String("pdf")) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            askUser().message(QStringLiteral("アクロバットリーダーで読み込めません"), Dialogs::Buttons::Ok);
    } else {
        m_frmPic->showLocalText(path);
    }
}
