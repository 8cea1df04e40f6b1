#include "gui/app/mainwindow.h"

#include "core/app/statuslines.h"
#include "core/app/statusreport.h"
#include "core/ftpsession/remotepane.h"
#include "core/log/activitylog.h"
#include "core/manage/deletes.h"
#include "core/manage/folders.h"
#include "core/manage/permissions.h"
#include "core/panes/listheaders.h"
#include "core/panecommands/panecommands.h"
#include "core/panes/listingrecord.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "core/settings/settingslines.h"
#include "core/transfer/moderules.h"
#include "core/transfer/transfers.h"
#include "gui/app/connectionindicator.h"
#include "gui/app/qtdialogs.h"
#include "gui/app/toolbaricons.h"
#include "gui/ftp/ftppane.h"
#include "gui/ftp/ftptreepanel.h"
#include "gui/log/logpanel.h"
#include "gui/panes/iconkeydelegate.h"
#include "gui/panes/localpanewidget.h"
#include "gui/panes/localtreepanel.h"
#include "gui/settings/othersettingspanel.h"
#include "gui/settings/proxypanel.h"
#include "gui/settings/serverpanel.h"
#include "gui/transfer/codeconversionpanel.h"
#include "gui/transfer/modeindicator.h"
#include "gui/transfer/modepanel.h"
#include "gui/transfer/statuswindow.h"
#include "gui/ui/consolepanel.h"
#include "gui/ui/movablepanel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStringListModel>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
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

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_dialogs(std::make_unique<QtDialogs>(this))
    , m_statusLines(std::make_unique<StatusLines>())
    , m_statusReport(std::make_unique<StatusReport>(m_state))
    , m_settingsLines(std::make_unique<SettingsLines>())
    , m_options(std::make_unique<Options>(*m_settingsLines))
    , m_profiles(std::make_unique<Profiles>(*m_settingsLines, *m_options, *m_dialogs))
    , m_modeRules(std::make_unique<ModeRules>(*m_settingsLines, m_state))
    , m_activityLog(std::make_unique<ActivityLog>())
    , m_listingRecord(std::make_unique<ListingRecord>())
    , m_localPane(std::make_unique<LocalPane>(m_state, *m_listingRecord, *m_dialogs))
    , m_list7(std::make_unique<QStringListModel>())
    , m_remotePane(std::make_unique<RemotePane>(
          m_state, *m_listingRecord, *m_options, *m_profiles, *m_statusLines, *m_activityLog, *m_dialogs))
    , m_transfers(std::make_unique<Transfers>(m_state, *m_listingRecord, *m_options, *m_modeRules, *m_localPane,
          *m_remotePane, *m_statusLines, *m_activityLog, *m_dialogs, *m_statusReport))
{
    setObjectName(QStringLiteral("FtpTarvo"));
    setWindowTitle(QStringLiteral("FTPTarvo"));
    // The resources live in a static library: nothing else pulls them into the program.
    Q_INIT_RESOURCE(resources);
    setWindowIcon(QIcon(QStringLiteral(":/ftptarvo.png")));
    m_list7->setObjectName(QStringLiteral("List7"));
    m_settingsLines->setDialogs(m_dialogs.get());

    createMenus();
    createToolbar();
    createCentralArea();
    createPanels();
    createStatusBar();
    createTimers();
    connectCore();
    connectTransfers();
    createManage();
    createCommands();
    // After the viewer, which gets the editor's update button.
    createMessages();
    setInitialCommandState();
    resize(InitialWidth, InitialHeight);
}

MainWindow::~MainWindow()
{
    // The widgets refer to the core objects, which are members and would go first.
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(children);
}

void MainWindow::createMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
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

    m_mm2 = bar->addMenu(QStringLiteral("設定(S)"));
    m_mm2->setObjectName(QStringLiteral("mm2"));
    m_m2[1] = addItem(m_mm2, arrayName("m2", 1), QStringLiteral("サーバーの設定"));
    m_m2[2] = addItem(m_mm2, arrayName("m2", 2), QStringLiteral("転送モード自動設定"));
    m_m2[3] = addItem(m_mm2, arrayName("m2", 3), QStringLiteral("プロキシの設定"));
    m_m2[4] = addSeparator(m_mm2, arrayName("m2", 4));

    m_mhen = bar->addMenu(QStringLiteral("編集"));
    m_mhen->setObjectName(QStringLiteral("mhen"));
    m_mh[1] = addItem(m_mhen, arrayName("mh", 1), QStringLiteral("元に戻す"));
    m_mh[2] = addSeparator(m_mhen, arrayName("mh", 2));
    m_mh[3] = addItem(m_mhen, arrayName("mh", 3), QStringLiteral("切り取り"));
    m_mh[4] = addItem(m_mhen, arrayName("mh", 4), QStringLiteral("コピー"));
    m_mh[5] = addItem(m_mhen, arrayName("mh", 5), QStringLiteral("貼り付け"));
    m_mh[6] = addItem(m_mhen, arrayName("mh", 6), QStringLiteral("削除"));
    // The edit commands come with the pane commands.
    for (int i : { 1, 3, 4, 5, 6 })
        m_mh[i]->setEnabled(false);

    m_Mm1 = bar->addMenu(QStringLiteral("ファイル操作(&E)"));
    m_Mm1->setObjectName(QStringLiteral("Mm1"));
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
            m_M1[next] = addSeparator(m_Mm1, arrayName("M1", next));
        m_M1[index] = addItem(m_Mm1, arrayName("M1", index), QString::fromUtf16(caption));
        next = index + 1;
    }

    m_Mrog = bar->addMenu(QStringLiteral("オプション(&O)"));
    m_Mrog->setObjectName(QStringLiteral("Mrog"));
    QAction* mrog1 = addItem(m_Mrog, QStringLiteral("Mrog1"), QStringLiteral("ログの表示"));
    QAction* mrog2 = addItem(m_Mrog, QStringLiteral("Mrog2"), QStringLiteral("その他の設定"));
    QAction* mrog3 = addItem(m_Mrog, QStringLiteral("Mrog3"), QStringLiteral("アップロード＆ダウンロード予約"));
    QAction* mrog4 = addItem(m_Mrog, QStringLiteral("Mrog4"), QStringLiteral("リンク設定"));
    QAction* mrog5 = addItem(m_Mrog, QStringLiteral("Mrog5"), QStringLiteral("文字変換"));
    m_mmessage = addItem(m_Mrog, QStringLiteral("mmessage"), QStringLiteral("メッセージ表示"));
    QAction* mrog6 = addItem(m_Mrog, QStringLiteral("Mrog6"), QStringLiteral("フォルダ情報の表示"));
    m_mmessage->setVisible(false);
    // Reservations, link settings, messages and the folder analysis come later.
    for (QAction* a : { mrog3, mrog4, m_mmessage, mrog6 })
        a->setEnabled(false);
    connect(mrog1, &QAction::triggered, this, [this] {
        placePanel(m_frame14);
        m_frame14->showLog();
    });
    connect(mrog2, &QAction::triggered, this, [this] { openPanel(m_frame19); });
    connect(mrog5, &QAction::triggered, this, [this] {
        auto* frame13 = m_central->findChild<CodeConversionPanel*>(QString(), Qt::FindDirectChildrenOnly);
        if (!frame13)
            frame13 = new CodeConversionPanel(
                *m_dialogs, [this] { return m_localPane->folderText(); }, m_central);
        frame13->open();
    });

    m_Mftp = bar->addMenu(QStringLiteral("FTP(&A)"));
    m_Mftp->setObjectName(QStringLiteral("Mftp"));
    QAction* mcom = addItem(m_Mftp, QStringLiteral("mcom"), QStringLiteral("FTPcommand"));
    connect(mcom, &QAction::triggered, this, &MainWindow::mcom_Click);

    m_mhelpm = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    m_mhelpm->setObjectName(QStringLiteral("mhelpm"));
    QAction* help = addItem(m_mhelpm, QStringLiteral("mhelp"), QStringLiteral("ヘルプ(&H)"));
    QAction* about = addItem(m_mhelpm, QStringLiteral("mversion"), QStringLiteral("バージョン情報(&A)"));
    // Help and About come with their own issue.
    help->setEnabled(false);
    about->setEnabled(false);

    connect(m_m2[1], &QAction::triggered, this, [this] { openPanel(m_frame1); });
    connect(m_m2[2], &QAction::triggered, this, [this] { openPanel(m_frame4); });
    connect(m_m2[3], &QAction::triggered, this, [this] { openPanel(m_frame7); });
}

void MainWindow::createToolbar()
{
    m_toolbar1 = addToolBar(QStringLiteral("Toolbar1"));
    m_toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar1->setMovable(false);
    m_toolbar1->setIconSize(QSize(24, 24));
    for (const ToolbarKey& k : ToolbarKeys) {
        m_toolbar1->addSeparator();
        const QString key = QLatin1String(k.key);
        QAction* action = m_toolbar1->addAction(toolbarIcon(key), key);
        action->setObjectName(key);
        action->setToolTip(QString::fromUtf16(k.tooltip));
        m_toolbarButtons.insert(key, action);
    }
    // A tooltip of its own would hide the button's name; the Stop button has none.
    m_toolbarButtons[QStringLiteral("Stop")]->setToolTip(QString());
    // The reservation panel comes with the schedule.
    m_toolbarButtons[QStringLiteral("Timer")]->setEnabled(false);
    connect(
        m_toolbarButtons[QStringLiteral("Stop")], &QAction::triggered, this, [this] { m_state.StopRequested = true; });
}

QWidget* MainWindow::createFtpSide()
{
    auto* side = new QWidget;
    side->setObjectName(QStringLiteral("ftpSide"));

    auto* connectRow = new QHBoxLayout;
    connectRow->setContentsMargins(0, 0, 0, 0);
    auto* profileLabel = new QLabel(QStringLiteral("接続先:"), side);
    profileLabel->setObjectName(QStringLiteral("List1Label"));
    m_list1Combo = new QComboBox(side);
    m_list1Combo->setObjectName(QStringLiteral("List1Combo"));
    m_list1Combo->setModel(m_options->profileNameModel());
    m_list1Combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_list1Combo->setMinimumContentsLength(10);
    m_list1Combo->setToolTip(QStringLiteral("接続するサーバー"));
    profileLabel->setBuddy(m_list1Combo);
    m_cmdConnect = new QPushButton(QStringLiteral("接続"), side);
    m_cmdConnect->setObjectName(QStringLiteral("cmdConnect"));
    m_cmdDisconnect = new QPushButton(QStringLiteral("切断"), side);
    m_cmdDisconnect->setObjectName(QStringLiteral("cmdDisconnect"));
    m_cmdDisconnect->setEnabled(false);
    m_picture1 = new ConnectionIndicator(side);
    connectRow->addWidget(profileLabel);
    connectRow->addWidget(m_list1Combo, 1);
    connectRow->addWidget(m_cmdConnect);
    connectRow->addWidget(m_cmdDisconnect);
    connectRow->addWidget(m_picture1);

    m_ftpTreeArea = new QWidget(side);
    m_ftpTreeArea->setObjectName(QStringLiteral("ftpTreeArea"));
    m_ftpTreeArea->setMinimumHeight(60);

    m_ftpPane = new FtpPane(*m_remotePane, side);
    QWidget* list = m_ftpPane;
    m_folderText = m_ftpPane->pathBox();
    m_fileList = m_ftpPane->fileView();
    // Narrow columns, so that the first four fit in half of the first window width.
    m_fileList->header()->resizeSection(0, 150);
    m_fileList->header()->resizeSection(1, 70);
    m_fileList->header()->resizeSection(2, 50);
    m_fileList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_fileList, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& pos) { m_Mm1->exec(m_fileList->viewport()->mapToGlobal(pos)); });

    m_ftpSplitter = new QSplitter(Qt::Vertical, side);
    m_ftpSplitter->setObjectName(QStringLiteral("ftpSplitter"));
    m_ftpSplitter->setChildrenCollapsible(false);
    m_ftpSplitter->addWidget(m_ftpTreeArea);
    m_ftpSplitter->addWidget(list);
    m_ftpSplitter->setStretchFactor(0, 1);
    m_ftpSplitter->setStretchFactor(1, 2);
    m_ftpSplitter->setSizes({ 150, 300 });

    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(connectRow);
    layout->addWidget(m_ftpSplitter, 1);
    return side;
}

void MainWindow::createCentralArea()
{
    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("centralArea"));
    setCentralWidget(m_central);

    auto* localSide = new QWidget;
    localSide->setObjectName(QStringLiteral("localSide"));
    m_localTreeArea = new QWidget(localSide);
    m_localTreeArea->setObjectName(QStringLiteral("localTreeArea"));
    m_localTreeArea->setMinimumHeight(60);
    m_localPaneWidget = new LocalPaneWidget(*m_localPane, localSide);
    m_localPaneWidget->fileView()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_localPaneWidget->fileView(), &QWidget::customContextMenuRequested, this,
        [this](const QPoint& pos) { m_Mm1->exec(m_localPaneWidget->fileView()->viewport()->mapToGlobal(pos)); });
    m_localSplitter = new QSplitter(Qt::Vertical, localSide);
    m_localSplitter->setObjectName(QStringLiteral("localSplitter"));
    m_localSplitter->setChildrenCollapsible(false);
    m_localSplitter->addWidget(m_localTreeArea);
    m_localSplitter->addWidget(m_localPaneWidget);
    m_localSplitter->setStretchFactor(0, 1);
    m_localSplitter->setStretchFactor(1, 2);
    m_localSplitter->setSizes({ 150, 300 });
    // Narrow columns, so that all four fit in half of the first window width.
    QHeaderView* localHeader = m_localPaneWidget->fileView()->header();
    localHeader->resizeSection(0, 150);
    localHeader->resizeSection(1, 70);
    localHeader->resizeSection(2, 50);
    auto* localTitle = new QLabel(QStringLiteral("ローカルPC"), localSide);
    localTitle->setObjectName(QStringLiteral("localTitle"));
    localTitle->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    auto* localLayout = new QVBoxLayout(localSide);
    localLayout->setContentsMargins(0, 0, 0, 0);
    localLayout->addWidget(localTitle);
    localLayout->addWidget(m_localSplitter, 1);

    // Between the panes: put (local to server) and get (server to local).
    auto* middle = new QWidget;
    middle->setObjectName(QStringLiteral("transferButtons"));
    m_cmdPut = new QPushButton(middle);
    m_cmdPut->setObjectName(QStringLiteral("cmdPut"));
    m_cmdPut->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    m_cmdPut->setToolTip(QStringLiteral("アップロード"));
    m_cmdPut->setAccessibleName(QStringLiteral("アップロード"));
    m_cmdGet = new QPushButton(middle);
    m_cmdGet->setObjectName(QStringLiteral("cmdGet"));
    m_cmdGet->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    m_cmdGet->setToolTip(QStringLiteral("ダウンロード"));
    m_cmdGet->setAccessibleName(QStringLiteral("ダウンロード"));
    for (QPushButton* b : { m_cmdPut, m_cmdGet }) {
        b->setFixedWidth(34);
        b->setEnabled(false);
    }
    auto* middleLayout = new QVBoxLayout(middle);
    middleLayout->setContentsMargins(2, 0, 2, 0);
    middleLayout->addStretch(1);
    middleLayout->addWidget(m_cmdPut);
    middleLayout->addWidget(m_cmdGet);
    middleLayout->addStretch(1);

    m_paneSplitter = new QSplitter(Qt::Horizontal);
    m_paneSplitter->setObjectName(QStringLiteral("paneSplitter"));
    m_paneSplitter->setChildrenCollapsible(false);
    m_paneSplitter->addWidget(localSide);
    m_paneSplitter->addWidget(middle);
    m_paneSplitter->addWidget(createFtpSide());
    m_paneSplitter->setStretchFactor(0, 1);
    m_paneSplitter->setStretchFactor(1, 0);
    m_paneSplitter->setStretchFactor(2, 1);

    m_lstStates = new QListView;
    m_lstStates->setObjectName(QStringLiteral("LstStates"));
    m_lstStates->setModel(m_statusLines.get());
    m_lstStates->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lstStates->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lstStates->setUniformItemSizes(true);
    // Each selection change lays the whole list out again. A long run (a transfer, or one that
    // shows the status report) adds a line per file, so then the view follows the last line at
    // most every 50 ms.
    auto followLastLine = [this] {
        const int rows = m_statusLines->rowCount();
        if (rows == 0)
            return;
        const QModelIndex index = m_statusLines->index(rows - 1);
        m_lstStates->setCurrentIndex(index);
        m_lstStates->scrollTo(index);
    };
    auto* followLines = new QTimer(m_lstStates);
    followLines->setObjectName(QStringLiteral("LstStatesFollow"));
    followLines->setSingleShot(true);
    followLines->setInterval(50);
    connect(followLines, &QTimer::timeout, m_lstStates, followLastLine);
    connect(m_statusLines.get(), &StatusLines::lineAdded, m_lstStates, [this, followLines, followLastLine] {
        if (!m_statusReport->isShown() && !m_transfers->isRunning())
            followLastLine();
        else if (!followLines->isActive())
            followLines->start();
    });

    m_mainSplitter = new QSplitter(Qt::Vertical, m_central);
    m_mainSplitter->setObjectName(QStringLiteral("mainSplitter"));
    m_mainSplitter->setChildrenCollapsible(false);
    m_mainSplitter->addWidget(m_paneSplitter);
    m_mainSplitter->addWidget(m_lstStates);
    m_mainSplitter->setStretchFactor(0, 1);
    m_mainSplitter->setStretchFactor(1, 0);
    m_mainSplitter->setSizes({ 480, 90 });

    auto* centralLayout = new QVBoxLayout(m_central);
    centralLayout->setContentsMargins(4, 4, 4, 4);
    centralLayout->addWidget(m_mainSplitter);

    // The docked tree panels follow their areas through every resize and splitter move.
    const QList<QWidget*> watched { m_central, m_mainSplitter, m_paneSplitter, localSide, m_localSplitter,
        m_localTreeArea, m_ftpTreeArea->parentWidget(), m_ftpSplitter, m_ftpTreeArea };
    for (QWidget* w : watched)
        w->installEventFilter(this);
}

void MainWindow::createPanels()
{
    m_frame3 = new LocalTreePanel(*m_localPane, m_central);

    auto* ftpTree = new FtpTreePanel(*m_remotePane, m_central);
    m_frame20 = ftpTree;
    m_folderTree = ftpTree->treeView();

    // The status report of transfers and deletes; it travels under a dragged tree panel.
    m_frame27 = new StatusWindow(*m_statusReport, m_central);
    m_frame3->setDockedBelow(m_frame27);
    m_frame20->setDockedBelow(m_frame27);

    // The file-operation menu pops up on both trees as on both lists.
    for (QTreeView* view : { m_frame3->treeView(), m_folderTree }) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint& pos) { m_Mm1->exec(view->viewport()->mapToGlobal(pos)); });
    }

    for (MovablePanel* tree : { static_cast<MovablePanel*>(m_frame3), m_frame20 }) {
        tree->titleLabel()->setToolTip(QStringLiteral("ドラッグで移動、ダブルクリックで元の位置に戻ります"));
        connect(tree, &MovablePanel::moved, this,
            [this, tree] { (tree == m_frame3 ? m_frame3Docked : m_frame20Docked) = false; });
        connect(tree, &MovablePanel::titleDoubleClicked, this, [this, tree] { dockTree(tree); });
        tree->show();
    }

    m_frame1 = new ServerPanel(*m_profiles, *m_options, m_central);
    m_frame4 = new ModePanel(*m_modeRules, *m_options, *m_dialogs, m_central);
    m_frame7 = new ProxyPanel(*m_options, m_central);
    m_frame19 = new OtherSettingsPanel(*m_options, m_central);
    m_frame16 = new ConsolePanel(*m_options, m_central);
    m_frame14 = new LogPanel(*m_activityLog, *m_dialogs, m_central);
    // The log is read line by line: give it room.
    m_frame14->resize(620, 420);
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
    auto* indicator = new ModeIndicator(*m_modeRules, bar);
    indicator->setObjectName(QStringLiteral("Label8"));
    bar->addPermanentWidget(indicator);
}

void MainWindow::createTimers()
{
    auto timer = [this](const char* name, int interval) {
        auto* t = new QTimer(this);
        t->setObjectName(QLatin1String(name));
        t->setInterval(interval);
        return t;
    };
    m_connectionWatch = timer("Timer1", 10000);
    connect(m_connectionWatch, &QTimer::timeout, this, &MainWindow::onConnectionWatchTick);
    // Never ticks until the link checker gives it 1000 ms and starts it.
    m_timer2 = timer("Timer2", 0);
    m_timer3 = timer("Timer3", 10000);
    connect(m_timer3, &QTimer::timeout, this, [this] {
        m_timer3->stop();
        // The scheduled session replay comes with the schedule.
        m_timer3->start();
    });
    m_moveUpTimer = timer("Timer4", 500);
    connect(m_moveUpTimer, &QTimer::timeout, this, [this] {
        m_remotePane->setMoveUpFlag(true);
        m_moveUpTimer->stop();
    });
    m_moveUpTimer->start();
    m_timerMessage = timer("TimerMessage", 10);
}

void MainWindow::connectCore()
{
    m_localPane->setOptionCheck([this](int index) { return m_options->viewOption(index); });
    connect(m_options.get(), &Options::viewOptionChanged, this, [this](int index, bool) {
        if (index > 1)
            return;
        m_localPane->RefreshLocalPanes();
        m_localPane->ColourLocalList();
    });
    connect(m_list1Combo, &QComboBox::activated, this, &MainWindow::selectProfile);
    connect(m_profiles.get(), &Profiles::selectedProfileRowChanged, m_list1Combo, &QComboBox::setCurrentIndex);
    connect(m_profiles.get(), &Profiles::showInFtpFolderText, m_remotePane.get(), &RemotePane::setFolderText);
    connectRemotePane();
    connect(m_profiles.get(), &Profiles::localFolderSelected, this, [this](const QString& folder) {
        m_localPane->setFolderText(folder);
        if (m_localPane->ListLocalFolder(folder))
            m_localPane->FillLocalList(folder);
        m_localPane->ColourLocalList();
    });
    // Registering, deleting and restoring change the names: the combo box keeps the selected
    // profile (not a row of its own choosing) and the profile menu follows.
    auto followList1 = [this] {
        m_list1Combo->setCurrentIndex(m_profiles->selectedProfileRow());
        addProfileMenuItems();
    };
    connect(m_options->profileNameModel(), &QAbstractItemModel::rowsInserted, this, followList1);
    connect(m_options->profileNameModel(), &QAbstractItemModel::rowsRemoved, this, followList1);
    connect(m_options->profileNameModel(), &QAbstractItemModel::dataChanged, this, followList1);
    connect(m_options->profileNameModel(), &QAbstractItemModel::modelReset, this, followList1);
    // Queued: the failure is shown after the operation that wrote the entry, not in its middle.
    connect(
        m_activityLog.get(), &ActivityLog::writeFailed, this,
        [this](
            const QString& message) { askUser().message(message, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation); },
        Qt::QueuedConnection);
}

Dialogs& MainWindow::askUser() { return *m_dialogs; }

void MainWindow::AddStatusLine(const QString& text) { m_statusLines->AddStatusLine(text); }

void MainWindow::setInitialCommandState()
{
    m_paneCommands->menuState().setInitialState();
    applyMenuState();
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

void MainWindow::mcom_Click()
{
    // 1000, 1000, 9195 and 6675 twips.
    m_frame16->setGeometry(67, 67, 613, 445);
    m_frame16->showInFront();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_frame20) {
        // Closing the FTP tree ends a folder download.
        if (event->type() == QEvent::Hide && !event->spontaneous())
            m_transfers->setFtpTreeFrameShown(false);
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
    if (!m_frame3 || !m_frame20)
        return;
    if (m_frame3Docked)
        m_frame3->setGeometry(QRect(m_localTreeArea->mapTo(m_central, QPoint(0, 0)), m_localTreeArea->size()));
    if (m_frame20Docked)
        m_frame20->setGeometry(QRect(m_ftpTreeArea->mapTo(m_central, QPoint(0, 0)), m_ftpTreeArea->size()));
}

void MainWindow::dockTree(MovablePanel* panel)
{
    (panel == m_frame3 ? m_frame3Docked : m_frame20Docked) = true;
    placeDockedTrees();
}

bool MainWindow::moveUpFlag() const { return m_remotePane->moveUpFlag(); }

void MainWindow::setMoveUpFlag(bool on) { m_remotePane->setMoveUpFlag(on); }

void MainWindow::connectRemotePane()
{
    RemotePane* pane = m_remotePane.get();
    pane->setTimers(m_connectionWatch, m_moveUpTimer);
    connect(m_cmdConnect, &QPushButton::clicked, pane, &RemotePane::onConnectClicked);
    connect(m_cmdDisconnect, &QPushButton::clicked, pane, &RemotePane::onDisconnectClicked);
    connect(pane, &RemotePane::controlsChanged, this, [this, pane] {
        m_cmdConnect->setEnabled(pane->connectEnabled());
        for (QPushButton* b : { m_cmdDisconnect, m_cmdGet, m_cmdPut })
            b->setEnabled(pane->connectedCommandsEnabled());
        // The profile list of the main window and that of the server panel.
        for (QWidget* list1 : m_central->findChildren<QWidget*>(QStringLiteral("List1")))
            list1->setEnabled(pane->profileChoiceEnabled());
        m_list1Combo->setEnabled(pane->profileChoiceEnabled());
    });
    connect(pane, &RemotePane::pictureRequested, m_picture1, &ConnectionIndicator::showPicture);
    connect(pane, &RemotePane::pictureStepRequested, m_picture1, &ConnectionIndicator::step);
    connect(pane, &RemotePane::busyChanged, this, [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    connect(pane, &RemotePane::statusPanelsChanged, this,
        [this](const QString& folders, const QString& files, const QString& size) {
            m_statusPanels[1]->setText(folders);
            m_statusPanels[2]->setText(files);
            m_statusPanels[3]->setText(size);
        });
    connect(pane, &RemotePane::firstStatusPanelChanged, m_statusPanels[0], &QLabel::setText);
    // A tree walk reports through the status window too.
    connect(pane, &RemotePane::statusTitleChanged, m_statusReport.get(), &StatusReport::setCaption);
    connect(pane, &RemotePane::statusTextChanged, m_statusReport.get(), &StatusReport::setCurrentFile);
    connect(m_options.get(), &Options::viewOptionChanged, this, [pane](int index, bool) {
        if (index == 1)
            pane->ColourFtpList();
    });
}

void MainWindow::onConnectionWatchTick() { m_remotePane->onConnectionWatchTick(); }

void MainWindow::watchTick(bool probeSucceeded) { m_remotePane->watchTick(probeSucceeded); }

void MainWindow::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}
