#include "gui/app/mainwindow.h"

#include "core/app/guide.h"
#include "core/app/statuslines.h"
#include "core/app/statusreport.h"
#include "core/ftpsession/remotepane.h"
#include "core/panecommands/panecommands.h"
#include "core/panes/localpane.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "core/sitetools/linkchecker.h"
#include "core/sitetools/linkexclusions.h"
#include "core/transfer/transfers.h"
#include "core/workspace/workspace.h"
#include "gui/app/connectionindicator.h"
#include "gui/app/qtdialogs.h"
#include "gui/app/toolbaricons.h"
#include "gui/ftp/ftppane.h"
#include "gui/ftp/ftptreepanel.h"
#include "gui/help/aboutbox.h"
#include "gui/help/folderwindow.h"
#include "gui/log/logpanel.h"
#include "gui/panes/localpanewidget.h"
#include "gui/panes/localtreepanel.h"
#include "gui/schedule/schedulepanel.h"
#include "gui/settings/othersettingspanel.h"
#include "gui/settings/proxypanel.h"
#include "gui/settings/serverpanel.h"
#include "gui/sitetools/linkpanels.h"
#include "gui/transfer/codeconversionpanel.h"
#include "gui/transfer/modeindicator.h"
#include "gui/transfer/modepanel.h"
#include "gui/transfer/statuswindow.h"
#include "gui/ui/consolepanel.h"
#include "gui/ui/movablepanel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStringListModel>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// A design name with its array index, as the option panels name their control arrays.
QString arrayName(const char* name, int index) { return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index); }

struct ToolbarKey {
    const char* key;
    const char16_t* tooltip;
};

// In the order of the buttons, each one after a separator.
constexpr ToolbarKey ToolbarKeys[] = {
    { "open", u"新しいﾌｫﾙﾀﾞｰを作成します" },
    { "cut", u"選択されているﾌｧｲﾙ又はﾌｫﾙﾀﾞｰを削除します" },
    { "copy", u"ファイル又はフォルダーをコピーします" },
    { "paste", u"ファイル又はフォルダーを貼り付けます" },
    { "link1", u"ﾌｧｲﾙの中のﾘﾝｸをﾁｪｯｸします" },
    { "link2", u"ﾘﾝｸをたどりﾌｧｲﾙの有無をﾁｪｯｸします" },
    { "linkcut", u"ﾘﾝｸの無いﾌｧｲﾙを移します" },
    { "imageshow", u"画像のｻﾑﾈｲﾙを表示します" },
    { "Timer", u"アップロード　＆　ダウンロード予約" },
    { "Stop", u"" },
};

// A splitter of two areas, the second twice as tall, neither collapsible.
QSplitter* verticalSplit(const char* name, QWidget* top, QWidget* bottom, QWidget* parent)
{
    auto* splitter = new QSplitter(Qt::Vertical, parent);
    splitter->setObjectName(QLatin1String(name));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(top);
    splitter->addWidget(bottom);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({ 150, 300 });
    return splitter;
}

// Narrow columns, so that the first four fit in half of the first window width.
void narrowColumns(QTreeView* view)
{
    view->header()->resizeSection(0, 150);
    view->header()->resizeSection(1, 70);
    view->header()->resizeSection(2, 50);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_dialogs(std::make_unique<QtDialogs>(this))
    , m_workspace(std::make_unique<Workspace>(*m_dialogs))
{
    setObjectName(QStringLiteral("FtpTarvo"));
    setWindowTitle(QStringLiteral("FTPTarvo"));
    // The resources live in a static library: nothing else pulls them into the program.
    Q_INIT_RESOURCE(resources);
    setWindowIcon(QIcon(QStringLiteral(":/ftptarvo.png")));

    createMenus();
    createToolbar();
    createCentralArea();
    createPanels();
    createStatusBar();
    connectWorkspace();
    createTransferRule();
    connectRuns();
    createCommands();
    // After the viewer, which gets the editor's update button.
    connectCompanion();
    setInitialCommandState();
    resize(InitialWidth, InitialHeight);
}

MainWindow::~MainWindow()
{
    // The widgets refer to the workspace, which is a member and would go first.
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(children);
}

void MainWindow::createMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    auto addMenu = [bar](const char* name, const QString& caption) {
        QMenu* menu = bar->addMenu(caption);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };
    auto addItem = [this](QMenu* menu, const QString& name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        action->setParent(this);
        return action;
    };
    auto addSeparator = [](QMenu* menu, const QString& name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(name);
        return action;
    };

    m_settingsMenu = addMenu("mm2", QStringLiteral("設定(S)"));
    m_settingsItems[1] = addItem(m_settingsMenu, arrayName("m2", 1), QStringLiteral("サーバーの設定"));
    m_settingsItems[2] = addItem(m_settingsMenu, arrayName("m2", 2), QStringLiteral("転送モード自動設定"));
    m_settingsItems[3] = addItem(m_settingsMenu, arrayName("m2", 3), QStringLiteral("プロキシの設定"));
    m_settingsItems[4] = addSeparator(m_settingsMenu, arrayName("m2", 4));

    m_editMenu = addMenu("mhen", QStringLiteral("編集"));
    m_editItems[1] = addItem(m_editMenu, arrayName("mh", 1), QStringLiteral("元に戻す"));
    m_editItems[2] = addSeparator(m_editMenu, arrayName("mh", 2));
    m_editItems[3] = addItem(m_editMenu, arrayName("mh", 3), QStringLiteral("切り取り"));
    m_editItems[4] = addItem(m_editMenu, arrayName("mh", 4), QStringLiteral("コピー"));
    m_editItems[5] = addItem(m_editMenu, arrayName("mh", 5), QStringLiteral("貼り付け"));
    m_editItems[6] = addItem(m_editMenu, arrayName("mh", 6), QStringLiteral("削除"));

    m_fileMenu = addMenu("Mm1", QStringLiteral("ファイル操作(&E)"));
    const std::pair<int, const char16_t*> fileItems[] = {
        { 4, u"フォルダーの作成(&N)" },
        { 6, u"フォルダーとファイルの削除(&T)" },
        { 8, u"ファイルコピー" },
        { 9, u"ファイル貼り付け" },
        { 11, u"ファイル名の変更(&A)" },
        { 13, u"アクセス権(ﾊﾟｰﾐｯｼｮﾝ)の変更(&L)" },
        { 15, u"リンクのチェック(&L)" },
        { 16, u"リンクのチェック　基準ファイルから(&M)" },
        { 17, u"リンクの無いファイルの削除(&D)" },
        { 19, u"画像の表示" },
    };
    int next = 4;
    for (const auto& [index, caption] : fileItems) {
        for (; next < index; ++next)
            m_fileItems[next] = addSeparator(m_fileMenu, arrayName("M1", next));
        m_fileItems[index] = addItem(m_fileMenu, arrayName("M1", index), QString::fromUtf16(caption));
        next = index + 1;
    }

    QMenu* options = addMenu("Mrog", QStringLiteral("オプション(&O)"));
    QAction* showLog = addItem(options, QStringLiteral("Mrog1"), QStringLiteral("ログの表示"));
    QAction* otherSettings = addItem(options, QStringLiteral("Mrog2"), QStringLiteral("その他の設定"));
    QAction* schedule = addItem(options, QStringLiteral("Mrog3"), QStringLiteral("アップロード＆ダウンロード予約"));
    QAction* linkSettings = addItem(options, QStringLiteral("Mrog4"), QStringLiteral("リンク設定"));
    QAction* conversion = addItem(options, QStringLiteral("Mrog5"), QStringLiteral("文字変換"));
    m_showMessages = addItem(options, QStringLiteral("mmessage"), QStringLiteral("メッセージ表示"));
    QAction* folderInfo = addItem(options, QStringLiteral("Mrog6"), QStringLiteral("フォルダ情報の表示"));
    m_showMessages->setVisible(false);
    connect(schedule, &QAction::triggered, this, &MainWindow::openSchedule);
    connect(linkSettings, &QAction::triggered, this, [this] { openPanel(m_linkExclusions); });
    connect(folderInfo, &QAction::triggered, this, [this] {
        m_folderWindow->show();
        m_folderWindow->raise();
        m_folderWindow->analyse(m_workspace->localPane().folderText().trimmed());
    });
    connect(showLog, &QAction::triggered, this, [this] {
        placePanel(m_logPanel);
        m_logPanel->showLog();
    });
    connect(otherSettings, &QAction::triggered, this, [this] { openPanel(m_otherSettingsPanel); });
    connect(conversion, &QAction::triggered, this, [this] {
        auto* panel = m_central->findChild<CodeConversionPanel*>(QString(), Qt::FindDirectChildrenOnly);
        if (!panel)
            panel = new CodeConversionPanel(
                *m_dialogs, [this] { return m_workspace->localPane().folderText(); }, m_central);
        panel->open();
    });

    QMenu* ftp = addMenu("Mftp", QStringLiteral("FTP(&A)"));
    QAction* console = addItem(ftp, QStringLiteral("mcom"), QStringLiteral("FTPcommand"));
    connect(console, &QAction::triggered, this, [this] {
        m_consolePanel->setGeometry(67, 67, 613, 445);
        m_consolePanel->open();
    });

    QMenu* help = addMenu("mhelpm", QStringLiteral("ヘルプ(&H)"));
    connect(addItem(help, QStringLiteral("mhelp"), QStringLiteral("ヘルプ(&H)")), &QAction::triggered, this, [this] {
        const QString page = Guide::indexPage();
        if (page.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
            askUser().message(
                QStringLiteral("ヘルプを開けませんでした。"), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
    });
    connect(addItem(help, QStringLiteral("mversion"), QStringLiteral("バージョン情報(&A)")), &QAction::triggered, this,
        [this] { AboutBox(*m_dialogs, this).exec(); });

    connect(m_settingsItems[1], &QAction::triggered, this, [this] { openPanel(m_serverPanel); });
    connect(m_settingsItems[2], &QAction::triggered, this, [this] { openPanel(m_modePanel); });
    connect(m_settingsItems[3], &QAction::triggered, this, [this] { openPanel(m_proxyPanel); });
}

void MainWindow::createToolbar()
{
    QToolBar* toolbar = addToolBar(QStringLiteral("Toolbar1"));
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setMovable(false);
    toolbar->setIconSize(QSize(24, 24));
    for (const ToolbarKey& k : ToolbarKeys) {
        toolbar->addSeparator();
        const QString key = QLatin1String(k.key);
        QAction* action = toolbar->addAction(toolbarIcon(key), key);
        action->setObjectName(key);
        action->setToolTip(QString::fromUtf16(k.tooltip));
        m_toolbarButtons.insert(key, action);
        connect(action, &QAction::triggered, this, [this, key] { onToolbarButton(key); });
    }
    // A tooltip of its own would hide the button's name; the Stop button has none.
    m_toolbarButtons[QStringLiteral("Stop")]->setToolTip(QString());
    // The reservation panel comes with the schedule.
}

QWidget* MainWindow::createLocalSide()
{
    auto* side = new QWidget;
    side->setObjectName(QStringLiteral("localSide"));
    m_localTreeArea = new QWidget(side);
    m_localTreeArea->setObjectName(QStringLiteral("localTreeArea"));
    m_localTreeArea->setMinimumHeight(60);
    m_localPaneWidget = new LocalPaneWidget(m_workspace->localPane(), side);
    narrowColumns(m_localPaneWidget->fileView());
    auto* title = new QLabel(QStringLiteral("ローカルPC"), side);
    title->setObjectName(QStringLiteral("localTitle"));
    title->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(title);
    layout->addWidget(verticalSplit("localSplitter", m_localTreeArea, m_localPaneWidget, side), 1);
    return side;
}

QWidget* MainWindow::createTransferButtons()
{
    // Between the panes: put (local to server) and get (server to local).
    auto* middle = new QWidget;
    middle->setObjectName(QStringLiteral("transferButtons"));
    m_uploadButton = new QPushButton(middle);
    m_uploadButton->setObjectName(QStringLiteral("cmdPut"));
    m_uploadButton->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    m_uploadButton->setToolTip(QStringLiteral("アップロード"));
    m_uploadButton->setAccessibleName(QStringLiteral("アップロード"));
    m_downloadButton = new QPushButton(middle);
    m_downloadButton->setObjectName(QStringLiteral("cmdGet"));
    m_downloadButton->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    m_downloadButton->setToolTip(QStringLiteral("ダウンロード"));
    m_downloadButton->setAccessibleName(QStringLiteral("ダウンロード"));
    for (QPushButton* b : { m_uploadButton, m_downloadButton }) {
        b->setFixedWidth(34);
        b->setEnabled(false);
    }
    auto* layout = new QVBoxLayout(middle);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->addStretch(1);
    layout->addWidget(m_uploadButton);
    layout->addWidget(m_downloadButton);
    layout->addStretch(1);
    return middle;
}

QWidget* MainWindow::createFtpSide()
{
    auto* side = new QWidget;
    side->setObjectName(QStringLiteral("ftpSide"));

    auto* connectRow = new QHBoxLayout;
    connectRow->setContentsMargins(0, 0, 0, 0);
    auto* profileLabel = new QLabel(QStringLiteral("接続先:"), side);
    profileLabel->setObjectName(QStringLiteral("List1Label"));
    m_profileCombo = new QComboBox(side);
    m_profileCombo->setObjectName(QStringLiteral("List1Combo"));
    m_profileCombo->setModel(m_workspace->options().profileNameModel());
    m_profileCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_profileCombo->setMinimumContentsLength(10);
    m_profileCombo->setToolTip(QStringLiteral("接続するサーバー"));
    profileLabel->setBuddy(m_profileCombo);
    m_connectButton = new QPushButton(QStringLiteral("接続"), side);
    m_connectButton->setObjectName(QStringLiteral("cmdConnect"));
    m_disconnectButton = new QPushButton(QStringLiteral("切断"), side);
    m_disconnectButton->setObjectName(QStringLiteral("cmdDisconnect"));
    m_disconnectButton->setEnabled(false);
    m_connectionIndicator = new ConnectionIndicator(side);
    connectRow->addWidget(profileLabel);
    connectRow->addWidget(m_profileCombo, 1);
    connectRow->addWidget(m_connectButton);
    connectRow->addWidget(m_disconnectButton);
    connectRow->addWidget(m_connectionIndicator);

    m_ftpTreeArea = new QWidget(side);
    m_ftpTreeArea->setObjectName(QStringLiteral("ftpTreeArea"));
    m_ftpTreeArea->setMinimumHeight(60);
    m_ftpPane = new FtpPane(m_workspace->remotePane(), side);
    narrowColumns(m_ftpPane->fileView());

    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(connectRow);
    layout->addWidget(verticalSplit("ftpSplitter", m_ftpTreeArea, m_ftpPane, side), 1);
    return side;
}

QListView* MainWindow::createStatusList()
{
    StatusLines& lines = m_workspace->statusLines();
    auto* view = new QListView;
    view->setObjectName(QStringLiteral("LstStates"));
    view->setModel(&lines);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setUniformItemSizes(true);
    // Each selection change lays the whole list out again. A long run (a transfer, or one that
    // shows the status report) adds a line per file, so then the view follows the last line at
    // most every 50 ms.
    auto followLastLine = [view, &lines] {
        if (lines.rowCount() == 0)
            return;
        const QModelIndex index = lines.index(lines.rowCount() - 1);
        view->setCurrentIndex(index);
        view->scrollTo(index);
    };
    auto* follow = new QTimer(view);
    follow->setObjectName(QStringLiteral("LstStatesFollow"));
    follow->setSingleShot(true);
    follow->setInterval(50);
    connect(follow, &QTimer::timeout, view, followLastLine);
    connect(&lines, &StatusLines::lineAdded, view, [this, follow, followLastLine] {
        if (!m_workspace->statusReport().isShown() && !m_workspace->transfers().isRunning())
            followLastLine();
        else if (!follow->isActive())
            follow->start();
    });
    return view;
}

void MainWindow::createCentralArea()
{
    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("centralArea"));
    setCentralWidget(m_central);

    QWidget* localSide = createLocalSide();
    auto* panes = new QSplitter(Qt::Horizontal);
    panes->setObjectName(QStringLiteral("paneSplitter"));
    panes->setChildrenCollapsible(false);
    panes->addWidget(localSide);
    panes->addWidget(createTransferButtons());
    panes->addWidget(createFtpSide());
    panes->setStretchFactor(0, 1);
    panes->setStretchFactor(1, 0);
    panes->setStretchFactor(2, 1);

    auto* main = new QSplitter(Qt::Vertical, m_central);
    main->setObjectName(QStringLiteral("mainSplitter"));
    main->setChildrenCollapsible(false);
    main->addWidget(panes);
    main->addWidget(createStatusList());
    main->setStretchFactor(0, 1);
    main->setStretchFactor(1, 0);
    main->setSizes({ 480, 90 });

    auto* layout = new QVBoxLayout(m_central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(main);

    // The docked tree panels follow their areas through every resize and splitter move.
    const QList<QWidget*> watched { m_central, main, panes, localSide, m_localTreeArea->parentWidget(), m_localTreeArea,
        m_ftpTreeArea->parentWidget(), m_ftpTreeArea };
    for (QWidget* w : watched)
        w->installEventFilter(this);
}

void MainWindow::createPanels()
{
    Workspace& ws = *m_workspace;
    m_localTreePanel = new LocalTreePanel(ws.localPane(), m_central);
    auto* ftpTree = new FtpTreePanel(ws.remotePane(), m_central);
    m_ftpTreePanel = ftpTree;
    m_ftpTreeView = ftpTree->treeView();

    // The status report of transfers and deletes; it travels under a dragged tree panel.
    m_statusWindow = new StatusWindow(ws.statusReport(), m_central);
    m_localTreePanel->setDockedBelow(m_statusWindow);
    m_ftpTreePanel->setDockedBelow(m_statusWindow);

    for (MovablePanel* tree : { static_cast<MovablePanel*>(m_localTreePanel), m_ftpTreePanel }) {
        tree->titleLabel()->setToolTip(QStringLiteral("ドラッグで移動、ダブルクリックで元の位置に戻ります"));
        connect(tree, &MovablePanel::moved, this, [this, tree] { m_undockedTrees.insert(tree); });
        connect(tree, &MovablePanel::titleDoubleClicked, this, [this, tree] { dockTree(tree); });
        tree->show();
    }

    m_serverPanel = new ServerPanel(ws.profiles(), ws.options(), m_central);
    m_modePanel = new ModePanel(ws.modeRules(), ws.options(), *m_dialogs, m_central);
    m_proxyPanel = new ProxyPanel(ws.options(), m_central);
    m_otherSettingsPanel = new OtherSettingsPanel(ws.options(), m_central);
    m_consolePanel = new ConsolePanel(
        ws.options(), ws.console(), [&ws](const QString& command) { ws.runConsoleCommand(command); }, m_central);
    m_logPanel = new LogPanel(ws.activityLog(), *m_dialogs, m_central);
    m_linkReport = new LinkReportPanel(ws.linkChecker().report(), m_central);
    LinkExclusions& exclusions = ws.linkExclusions();
    m_linkExclusions = new LinkExclusionPanel(
        &exclusions, [&exclusions](const QString& text) { exclusions.registerText(text); },
        [&exclusions](int row) { exclusions.removeRow(row); }, m_central);
    m_schedulePanel = new SchedulePanel(ws, m_central);
    m_schedulePanel->hide();
    m_folderWindow = new FolderWindow(ws.state(), *m_dialogs, this);
    m_folderWindow->hide();
    // The log is read line by line: give it room.
    m_logPanel->resize(620, 420);
}

void MainWindow::createStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusBar1_Panel%1").arg(i + 1));
        panel->setMinimumWidth(i == 0 ? 90 : 110);
        bar->addWidget(panel);
        m_statusPanels[i] = panel;
    }
    m_statusPanels[0]->setVisible(false);
    auto* indicator = new ModeIndicator(m_workspace->modeRules(), bar);
    indicator->setObjectName(QStringLiteral("Label8"));
    bar->addPermanentWidget(indicator);
}

void MainWindow::connectWorkspace()
{
    Profiles& profiles = m_workspace->profiles();
    connect(m_profileCombo, &QComboBox::activated, m_workspace.get(), &Workspace::selectProfile);
    connect(&profiles, &Profiles::selectedProfileRowChanged, m_profileCombo, &QComboBox::setCurrentIndex);
    // Registering, deleting and restoring change the names: the combo box keeps the selected
    // profile (not a row of its own choosing) and the profile menu follows.
    QStringListModel* names = m_workspace->options().profileNameModel();
    auto followNames = [this, &profiles] {
        m_profileCombo->setCurrentIndex(profiles.selectedProfileRow());
        rebuildProfileMenu();
    };
    connect(names, &QAbstractItemModel::rowsInserted, this, followNames);
    connect(names, &QAbstractItemModel::rowsRemoved, this, followNames);
    connect(names, &QAbstractItemModel::dataChanged, this, followNames);
    connect(names, &QAbstractItemModel::modelReset, this, followNames);
    connectRemotePane();
}

void MainWindow::connectRemotePane()
{
    RemotePane* pane = &m_workspace->remotePane();
    connect(m_connectButton, &QPushButton::clicked, pane, &RemotePane::onConnectClicked);
    connect(m_disconnectButton, &QPushButton::clicked, pane, &RemotePane::onDisconnectClicked);
    connect(pane, &RemotePane::controlsChanged, this, [this, pane] {
        m_connectButton->setEnabled(pane->connectEnabled());
        for (QPushButton* b : { m_disconnectButton, m_downloadButton, m_uploadButton })
            b->setEnabled(pane->connectedCommandsEnabled());
        // The profile list of the main window and that of the server panel.
        for (QWidget* list : m_central->findChildren<QWidget*>(QStringLiteral("List1")))
            list->setEnabled(pane->profileChoiceEnabled());
        m_profileCombo->setEnabled(pane->profileChoiceEnabled());
    });
    connect(pane, &RemotePane::pictureRequested, m_connectionIndicator, &ConnectionIndicator::showPicture);
    connect(pane, &RemotePane::pictureStepRequested, m_connectionIndicator, &ConnectionIndicator::step);
    connect(pane, &RemotePane::busyChanged, this, &MainWindow::setBusy);
    connect(pane, &RemotePane::statusPanelsChanged, this,
        [this](const QString& folders, const QString& files, const QString& size) {
            m_statusPanels[1]->setText(folders);
            m_statusPanels[2]->setText(files);
            m_statusPanels[3]->setText(size);
        });
    connect(pane, &RemotePane::firstStatusPanelChanged, m_statusPanels[0], &QLabel::setText);
}

Dialogs& MainWindow::askUser() { return *m_dialogs; }

void MainWindow::setBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void MainWindow::rebuildProfileMenu()
{
    for (auto it = m_settingsItems.begin(); it != m_settingsItems.end();) {
        if (it.key() < 5) {
            ++it;
            continue;
        }
        m_settingsMenu->removeAction(it.value());
        it.value()->deleteLater();
        it = m_settingsItems.erase(it);
    }
    const QStringList names = m_workspace->options().profileNameModel()->stringList();
    int index = m_settingsItems.isEmpty() ? 1 : m_settingsItems.lastKey() + 1;
    for (int i = 0; i < names.size(); ++i, ++index) {
        const QString caption = QStringLiteral(" %1:%2").arg(i).arg(names[i]);
        QString shown = caption;
        shown.replace(u'&', QStringLiteral("&&"));
        QAction* action = m_settingsMenu->addAction(shown);
        action->setObjectName(QStringLiteral("m2_%1").arg(index));
        action->setData(caption);
        connect(action, &QAction::triggered, this, [this, index] { onProfileMenuItem(index); });
        m_settingsItems.insert(index, action);
    }
}

void MainWindow::onProfileMenuItem(int index)
{
    QAction* action = m_settingsItems.value(index);
    if (index < 5 || !action)
        return;
    // Everything after the number's ":" is the name, so a name may hold a ":" itself.
    const QString caption = action->data().toString();
    const qsizetype colon = caption.indexOf(u':');
    if (colon < 0)
        return;
    const qsizetype row = m_workspace->options().profileNameModel()->stringList().indexOf(caption.mid(colon + 1));
    if (row >= 0)
        m_workspace->connectProfile(int(row));
}

QList<MovablePanel*> MainWindow::panels() const
{
    return m_central->findChildren<MovablePanel*>(Qt::FindDirectChildrenOnly);
}

void MainWindow::openPanel(MovablePanel* panel)
{
    placePanel(panel);
    panel->showInFront();
}

void MainWindow::placePanel(MovablePanel* panel)
{
    if (panel->isVisible())
        return;
    // A panel opens near the top left of the panes, as large as it wants within them.
    const QSize room = m_central->size() - QSize(24, 24);
    panel->resize(panel->sizeHint().expandedTo(panel->size()).boundedTo(room));
    if (panel->pos() == QPoint(0, 0))
        panel->move(24, 24);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ftpTreePanel) {
        // Closing the FTP tree ends a folder download.
        if (event->type() == QEvent::Hide && !event->spontaneous())
            m_workspace->transfers().setFtpTreeFrameShown(false);
        return QMainWindow::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::Show:
    case QEvent::LayoutRequest:
        placeDockedTrees();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::placeDockedTrees()
{
    if (!m_localTreePanel || !m_ftpTreePanel)
        return;
    const std::pair<MovablePanel*, QWidget*> trees[]
        = { { m_localTreePanel, m_localTreeArea }, { m_ftpTreePanel, m_ftpTreeArea } };
    for (const auto& [panel, area] : trees) {
        if (!m_undockedTrees.contains(panel))
            panel->setGeometry(QRect(area->mapTo(m_central, QPoint(0, 0)), area->size()));
    }
}

void MainWindow::dockTree(MovablePanel* panel)
{
    m_undockedTrees.remove(panel);
    placeDockedTrees();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void MainWindow::showEvent(QShowEvent* event)
{
    m_workspace->setWindowShown(true);
    QMainWindow::showEvent(event);
}

void MainWindow::hideEvent(QHideEvent* event)
{
    m_workspace->setWindowShown(false);
    QMainWindow::hideEvent(event);
}
