// The main window's commands: the file-operation menu `Mm1` and the toolbar, the edit menu, the
// clicks, keys, drags and drops of the four panes, renaming in both lists, the viewer, and the
// companion's link.
#include "core/app/datafolder.h"
#include "core/app/dialogs.h"
#include "core/app/itemroles.h"
#include "core/app/statusreport.h"
#include "core/ftpsession/remotepane.h"
#include "core/manage/permissions.h"
#include "core/panecommands/menustate.h"
#include "core/panecommands/panecommands.h"
#include "core/panecommands/panepaths.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/sitetools/cleanup.h"
#include "core/sitetools/linkchecker.h"
#include "core/sitetools/thumbnailloader.h"
#include "core/transfer/transfers.h"
#include "core/workspace/companionlink.h"
#include "core/workspace/schedulerunner.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "gui/app/toolbaricons.h"
#include "gui/ftp/ftppane.h"
#include "gui/link/messagepanel.h"
#include "gui/panes/listrenamer.h"
#include "gui/panes/localpanewidget.h"
#include "gui/panes/localtreepanel.h"
#include "gui/panes/panekeys.h"
#include "gui/panes/panemouse.h"
#include "gui/panes/viewerpanel.h"
#include "gui/schedule/schedulepanel.h"
#include "gui/sitetools/linkpanels.h"
#include "gui/sitetools/picturepanel.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

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

// The edit menu's undo (1), cut (3), copy (4), paste (5) and delete (6) on a text box.
template <typename Box> void editText(Box* box, int index)
{
    switch (index) {
    case 1:
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
        if constexpr (std::is_same_v<Box, QLineEdit>)
            box->del();
        else
            box->textCursor().removeSelectedText();
        break;
    default:
        break;
    }
}

const QString CannotReadPdf = QStringLiteral("アクロバットリーダーで読み込めません");

} // namespace

void MainWindow::createCommands()
{
    PaneCommands& commands = m_workspace->paneCommands();
    connect(&commands.menuState(), &MenuState::changed, this, &MainWindow::applyMenuState);
    connect(&commands, &PaneCommands::firstStatusPanelRequested, this,
        [this](const QString& text) { m_workspace->statusReport().setStatusPanel(0, text); });
    connect(&commands, &PaneCommands::busyChanged, this, &MainWindow::setBusy);

    QTreeView* ftpList = m_ftpPane->fileView();
    QTreeView* localList = m_localPaneWidget->fileView();
    QTreeView* localTree = m_localTreePanel->treeView();
    m_paneMouse = new PaneMouse(commands, ftpList, localList, localTree, m_ftpTreeView, this);
    m_paneKeys = new PaneKeys(commands, ftpList, localList, localTree, m_ftpTreeView, this);
    // The keys do what the menu offers for the pane, nothing more.
    connect(m_paneKeys, &PaneKeys::deleteRequested, this, [this] {
        if (m_fileItems[6]->isEnabled())
            onFileMenuItem(6);
    });
    connect(m_paneKeys, &PaneKeys::renameRequested, this, [this] {
        if (m_fileItems[11]->isEnabled())
            onFileMenuItem(11);
    });
    m_renamer = new ListRenamer(commands, m_workspace->localPane(), ftpList, m_workspace->remotePane().fileList(),
        localList, m_workspace->localPane().fileList(), this);

    for (int i : MenuState::itemIndexes())
        connect(m_fileItems[i], &QAction::triggered, this, [this, i] { onFileMenuItem(i); });
    for (int i : { 1, 3, 4, 5, 6 })
        connect(m_editItems[i], &QAction::triggered, this, [this, i] { onEditMenuItem(i); });
    // The file-operation menu pops up on both lists and both trees.
    for (QTreeView* view : { ftpList, localList, localTree, m_ftpTreeView }) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint& pos) { m_fileMenu->exec(view->viewport()->mapToGlobal(pos)); });
    }
    // The FTP list's pop-up clears the drop highlight afterwards.
    connect(m_fileMenu, &QMenu::aboutToHide, ftpList, [ftpList] { ftpList->viewport()->update(); });

    // Double-clicks on folders are the panes' own; files come here.
    connect(m_localPaneWidget, &LocalPaneWidget::fileRowDoubleClicked, this, &MainWindow::onLocalFileDoubleClicked);
    connect(m_ftpPane, &FtpPane::fileRowDoubleClicked, this, [this](int row) {
        m_workspace->viewServerFile(m_workspace->remotePane().fileList()->index(row, 0).data().toString());
    });
    createViewer();
    connectSiteTools();
    applyMenuState();
}

void MainWindow::createViewer()
{
    m_viewer = new ViewerPanel(*m_dialogs, m_central);
    m_viewer->setStoreOnServer([this](const QString& text, const QString& ftpName) {
        m_workspace->transfers().UpdateRemoteFile(text, ftpName);
    });
    // "変更内容の更新": shown once a server text went to the editor.
    m_takeEditorChanges = new QPushButton(QStringLiteral("変更内容の更新"), m_viewer);
    m_takeEditorChanges->setObjectName(QStringLiteral("Command45"));
    m_takeEditorChanges->hide();
    m_viewer->body()->addWidget(m_takeEditorChanges);
    connect(m_takeEditorChanges, &QPushButton::clicked, this,
        [this] { m_workspace->companionLink().requestEditorText(m_viewer->textView()->toPlainText()); });

    m_pictures = new PicturePanel(m_workspace->state(), *m_dialogs, DataFolder::path(), m_viewer->nameBox(), m_viewer);
    // Where the text and picture views are: the grid and the picture take their place.
    m_viewer->body()->insertWidget(m_viewer->body()->indexOf(m_viewer->pictureView()) + 1, m_pictures, 1);
    m_pictures->hide();
    m_viewer->setPicturePanel(m_pictures);
    m_pictures->setConnectionProvider([this] { return m_workspace->remotePane().FtpHandle(); });
    connect(m_pictures, &PicturePanel::frameSizeWanted, m_viewer,
        [this](bool large) { m_viewer->resize(large ? QSize(900, 680) : QSize(560, 420)); });

    m_openInBrowser = new QPushButton(QStringLiteral("IE"), m_viewer);
    m_openInBrowser->setObjectName(QStringLiteral("Command34"));
    m_openInBrowser->setToolTip(QStringLiteral("表示しているページをブラウザで開きます"));
    m_openInBrowser->setEnabled(false);
    m_viewer->body()->addWidget(m_openInBrowser);
    connect(m_openInBrowser, &QPushButton::clicked, this, [this] {
        if (!m_shownPagePath.isEmpty() && !QDesktopServices::openUrl(QUrl::fromLocalFile(m_shownPagePath)))
            askUser().message(
                QStringLiteral("ブラウザを起動できませんでした。"), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
    });

    connect(m_workspace.get(), &Workspace::serverTextFetched, this, &MainWindow::showServerText);
    connect(m_workspace.get(), &Workspace::serverPictureFetched, this, &MainWindow::showServerPicture);
    connect(m_workspace.get(), &Workspace::serverTextSentToEditor, m_takeEditorChanges, &QWidget::show);
    connect(m_workspace.get(), &Workspace::documentFetched, this, [this](const QString& path) {
        m_editMenu->setEnabled(false);
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            askUser().message(CannotReadPdf, Dialogs::Buttons::Ok, Dialogs::Icon::None);
    });
}

void MainWindow::connectSiteTools()
{
    LinkChecker& checker = m_workspace->linkChecker();
    connect(m_workspace.get(), &Workspace::linkRunStarted, this, [this] {
        m_pictures->loader().cancel();
        // Beside the page being read, not under it.
        if (!m_linkReport->isVisible())
            m_linkReport->move(std::max(24, m_central->width() - m_linkReport->width() - 24), 24);
        placePanel(m_linkReport);
        m_linkReport->showInFront();
    });
    connect(&checker, &LinkChecker::pageShown, this, [this](const QString& text) {
        m_viewer->nameBox()->clear();
        offerBrowser(QString());
        m_viewer->showCheckedPage(text);
        placePanel(m_viewer);
        m_linkReport->raise();
    });
    connect(&checker, &LinkChecker::linkMarked, m_viewer, &ViewerPanel::markLink);
    connect(&checker, &LinkChecker::missingLink, m_linkExclusions->linkBox(), &QLineEdit::setText);
    connect(&checker, &LinkChecker::stopRuleTriggered, this, [this] { openPanel(m_linkExclusions); });
    connect(&m_schedulePanel->runner(), &ScheduleRunner::runningChanged, this, [this](bool on) {
        const QIcon idle = toolbarIcon(QStringLiteral("Timer"));
        m_toolbarButtons[QStringLiteral("Timer")]->setIcon(on ? SchedulePanel::runningIcon(idle) : idle);
    });
}

void MainWindow::showPictures()
{
    const QList<PictureSource> pictures = m_workspace->selectedPictures();
    offerBrowser(QString());
    if (m_pictures->showThumbnails(pictures)) {
        m_viewer->setTag(pictures.value(0).onServer ? QStringLiteral("FTP") : QStringLiteral("LOCAL"));
        m_viewer->showPicturePanel();
        placePanel(m_viewer);
    }
}

void MainWindow::openSchedule()
{
    placePanel(m_schedulePanel);
    m_schedulePanel->open();
}

void MainWindow::showServerText(const QString& name, const QString& text)
{
    m_viewer->nameBox()->setText(name);
    m_viewer->showServerText(text, name);
    m_editMenu->setEnabled(true);
    offerBrowser(DataFolder::file(QStringLiteral("$temp$.") + name.mid(name.lastIndexOf(u'.') + 1)));
    openPanel(m_viewer);
}

void MainWindow::offerBrowser(const QString& path)
{
    const QString extension = path.mid(path.lastIndexOf(u'.') + 1).toLower();
    const bool page = !path.isEmpty()
        && (extension == QLatin1String("html") || extension == QLatin1String("htm")
            || extension == QLatin1String("txt"));
    m_shownPagePath = page ? path : QString();
    m_openInBrowser->setEnabled(page);
}

void MainWindow::showServerPicture(const QString& name, const QString& path)
{
    m_viewer->nameBox()->setText(name);
    offerBrowser(QString());
    if (!m_viewer->showLocalPicture(path))
        return;
    m_viewer->setTag(QStringLiteral("FTP"));
    m_viewer->nameBox()->setText(name);
    openPanel(m_viewer);
}

void MainWindow::connectCompanion()
{
    CompanionLink& link = m_workspace->companionLink();
    m_messagePanel = new MessagePanel(link, m_central);
    connect(m_showMessages, &QAction::triggered, this, [this] {
        if (m_messagePanel->pos() == QPoint(0, 0))
            m_messagePanel->move(24, 24);
        m_messagePanel->showInFront();
    });
    connect(&link, &CompanionLink::textViewRequested, this,
        [this](const QString& text) { m_viewer->textView()->setPlainText(text); });
    connect(&link, &CompanionLink::serverTextStored, this,
        [this](const QString& name, const QString& text) { m_viewer->showServerText(text, name); });
    connect(&link, &CompanionLink::windowVisibilityRequested, this, &QWidget::setVisible);
    connect(&link, &CompanionLink::endRequested, this, [this] {
        hide();
        QCoreApplication::quit();
    });
}

void MainWindow::setInitialCommandState()
{
    m_workspace->paneCommands().menuState().setInitialState();
    applyMenuState();
}

void MainWindow::applyMenuState()
{
    const MenuState& menu = m_workspace->paneCommands().menuState();
    for (int i : MenuState::itemIndexes()) {
        m_fileItems[i]->setText(menu.caption(i));
        m_fileItems[i]->setEnabled(menu.itemEnabled(i));
    }
    for (const QString& key : MenuState::buttonKeys()) {
        // The reservation panel comes with the schedule.
        if (key != QLatin1String("Timer"))
            m_toolbarButtons[key]->setEnabled(menu.buttonEnabled(key));
    }
}

void MainWindow::onFileMenuItem(int index)
{
    PaneCommands& commands = m_workspace->paneCommands();
    const int active = m_workspace->state().ActivePane;
    switch (index) {
    case 4:
        m_workspace->makeFolderInActivePane();
        break;
    case 6:
        m_workspace->deleteInActivePane();
        break;
    case 8:
        commands.copy(focusedName());
        break;
    case 9:
        commands.paste(focusedName());
        break;
    case 11:
        if (active == 2 || active == 4)
            m_renamer->start(active == 2);
        break;
    case 13:
        m_workspace->permissions().ShowPermissionPanel();
        break;
    case 15:
        m_workspace->checkLinksInActivePane();
        break;
    case 16:
        m_workspace->traceSelectedFolder();
        break;
    case 17:
        m_workspace->removeUnlinkedFiles();
        break;
    case 19:
        showPictures();
        break;
    default:
        break;
    }
}

void MainWindow::onToolbarButton(const QString& key)
{
    static const QHash<QString, int> items { { QStringLiteral("open"), 4 }, { QStringLiteral("cut"), 6 },
        { QStringLiteral("copy"), 8 }, { QStringLiteral("paste"), 9 }, { QStringLiteral("link1"), 15 },
        { QStringLiteral("link2"), 16 }, { QStringLiteral("linkcut"), 17 }, { QStringLiteral("imageshow"), 19 } };
    if (key == QLatin1String("Stop")) {
        m_workspace->state().StopRequested = true;
        return;
    }
    if (key == QLatin1String("Timer"))
        openSchedule();
    else if (const int item = items.value(key); item != 0)
        onFileMenuItem(item);
}

void MainWindow::onEditMenuItem(int index)
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return;
    const QString name = focusedName();
    if (name == QLatin1String("listview1") || name == QLatin1String("listview2")) {
        // In either list the edit menu copies and pastes local files only.
        if (index == 4)
            m_workspace->paneCommands().fillLocalClipboard();
        else if (index == 5)
            m_workspace->paneCommands().pasteLocal();
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(focus))
        editText(line, index);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        editText(plain, index);
    else if (auto* rich = qobject_cast<QTextEdit*>(focus))
        editText(rich, index);
}

void MainWindow::onLocalFileDoubleClicked(int row)
{
    LocalPane& local = m_workspace->localPane();
    const PaneListModel* list = local.fileList();
    if (row < 0 || row >= list->rowCount())
        return;
    if (!IconKeys::isFile(list->index(row, 0).data(ItemRoles::IconKeyRole).toString()))
        return;
    const QString name = list->index(row, 0).data().toString().trimmed();
    if (!PanePaths::isPlainName(name))
        return;
    const QFileInfo file(PanePaths::join(local.folderText().trimmed(), name));
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
    const QString path = PanePaths::join(m_workspace->localPane().folderText().trimmed(), name);
    const QString extension = name.mid(name.lastIndexOf(u'.') + 1).toLower();
    m_viewer->nameBox()->setText(name);
    offerBrowser(name.contains(u'.') ? path : QString());
    if (name.contains(u'.') && MenuState::isPictureName(name)) {
        if (!m_viewer->showLocalPicture(path))
            askUser().message(
                path + QStringLiteral(" を読み込めません。"), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
    } else if (name.contains(u'.') && extension == QLatin1String("pdf")) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            askUser().message(CannotReadPdf, Dialogs::Buttons::Ok);
    } else {
        m_viewer->showLocalText(path);
    }
}
