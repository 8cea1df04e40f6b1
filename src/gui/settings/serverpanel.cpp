#include "gui/settings/serverpanel.h"

#include "core/settings/options.h"
#include "core/settings/settingslines.h"
#include "gui/settings/folderchooserpanel.h"
#include "gui/settings/panelcontrols.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>

using namespace PanelControls;

ServerPanel::ServerPanel(Profiles& profiles, Options& options, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame1"), QStringLiteral("Label5"), QStringLiteral("サーバーの設定"), parent)
    , m_profiles(profiles)
    , m_options(options)
{
    auto* columns = new QHBoxLayout;
    body()->addLayout(columns, 1);

    // Left: the registered names and the buttons that act on them.
    auto* left = new QVBoxLayout;
    columns->addLayout(left, 2);
    m_list1 = new QListView(this);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setModel(m_options.List1());
    m_list1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list1->setToolTip(QStringLiteral("クリックで選択します"));
    m_list1->installEventFilter(this);
    left->addWidget(m_list1, 1);
    auto* command2Register = button(QStringLiteral("Command2_0"), QStringLiteral("新規/再　登録"), this);
    auto* command2Delete = button(QStringLiteral("Command2_1"), QStringLiteral("登録抹消"), this);
    auto* command6 = button(QStringLiteral("Command6"), QStringLiteral("項目クリアー"), this);
    auto* command32 = button(QStringLiteral("Command32"), QStringLiteral("設定のﾊﾞｯｸｱｯﾌﾟ"), this);
    auto* command35 = button(QStringLiteral("Command35"), QStringLiteral("設定の復元"), this);
    command35->setToolTip(QStringLiteral("バックアップした設定を読み込みます"));
    for (QPushButton* b : { command2Register, command2Delete, command6, command32, command35 })
        left->addWidget(b);

    // Right: the fields, each in the frame whose caption is its tag.
    auto* right = new QVBoxLayout;
    columns->addLayout(right, 3);
    auto* command14Anonymous = button(QStringLiteral("Command14_1"), QStringLiteral("anony"), this);
    auto* command23 = button(QStringLiteral("Command23"), QStringLiteral("DIR"), this);
    for (int i = 0; i < Profiles::FieldCount; ++i) {
        m_frame22[i] = new QGroupBox(Profiles::Frame22(i), this);
        m_frame22[i]->setObjectName(QStringLiteral("Frame22_%1").arg(i));
        m_txtftp[i] = lineEdit(QStringLiteral("txtftp_%1").arg(i), m_frame22[i]);
        auto* row = new QHBoxLayout(m_frame22[i]);
        row->setContentsMargins(4, 2, 4, 2);
        row->addWidget(m_txtftp[i], 1);
        if (i == 2)
            row->addWidget(command14Anonymous);
        if (i == 4)
            row->addWidget(command23);
        right->addWidget(m_frame22[i]);
        connect(m_txtftp[i], &QLineEdit::textEdited, &m_profiles,
            [this, i](const QString& text) { m_profiles.setTxtftp(i, text); });
    }
    m_txtftp[3]->setEchoMode(QLineEdit::Password);

    m_check9
        = checkBox(QStringLiteral("Check9"), QStringLiteral("FTPサーバーの時間をローカルの時間に変更する。"), this);
    body()->addWidget(m_check9);
    connect(m_check9, &QCheckBox::toggled, &m_options, &Options::setCheck9);

    auto* command14Ok = button(QStringLiteral("Command14_0"), QStringLiteral("OK"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(command14Ok);
    body()->addLayout(buttons);

    m_frame6 = new FolderChooserPanel(parent);

    connect(command2Register, &QPushButton::clicked, &m_profiles, &Profiles::registerProfile);
    connect(command2Delete, &QPushButton::clicked, &m_profiles, &Profiles::deleteSelectedProfile);
    connect(command6, &QPushButton::clicked, &m_profiles, &Profiles::Command6_Click);
    connect(command14Anonymous, &QPushButton::clicked, this, [this] { Command14_Click(1); });
    connect(command23, &QPushButton::clicked, this, &ServerPanel::Command23_Click);
    connect(command32, &QPushButton::clicked, &m_profiles, &Profiles::Command32_Click);
    connect(command35, &QPushButton::clicked, this, &ServerPanel::Command35_Click);
    connect(command14Ok, &QPushButton::clicked, this, [this] { Command14_Click(0); });
    connect(m_list1, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            m_profiles.List1_Click(index.row());
    });
    connect(m_frame6, &FolderChooserPanel::chosen, this, [this](FolderChooserPanel::Mode mode, const QString& path) {
        if (mode == FolderChooserPanel::Mode::Folder) {
            m_profiles.setLocalStartFolder(path);
        } else if (!m_profiles.restoreSettings(path)) {
            return; // the user was told; the chooser stays for another choice
        }
        m_frame6->hide();
    });

    connect(&m_profiles, &Profiles::changed, this, &ServerPanel::refresh);
    connect(&m_profiles, &Profiles::List1IndexChanged, this, &ServerPanel::showList1Index);
    connect(&m_options, &Options::changed, this, &ServerPanel::refresh);
    // The view keeps a current row of its own through insertions and removals: show ours.
    for (auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
        connect(m_options.List1(), signal, this, [this] { showList1Index(m_profiles.List1Index()); });
    connect(
        m_options.List1(), &QAbstractItemModel::modelReset, this, [this] { showList1Index(m_profiles.List1Index()); });
    refresh();
}

void ServerPanel::Command14_Click(int index)
{
    if (index == 1) {
        m_profiles.anonymous();
        return;
    }
    m_frame6->hide();
    hide();
}

void ServerPanel::refresh()
{
    for (int i = 0; i < Profiles::FieldCount; ++i)
        mirrorText(m_txtftp[i], m_profiles.txtftp(i));
    mirrorChecked(m_check9, m_options.Check9());
}

void ServerPanel::showList1Index(int row)
{
    QItemSelectionModel* selection = m_list1->selectionModel();
    const QModelIndex index = m_options.List1()->index(row);
    if (!index.isValid()) {
        selection->clear();
        return;
    }
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_list1->scrollTo(index);
}

bool ServerPanel::eventFilter(QObject* watched, QEvent* event)
{
    // Moving through the names with the keys selects, as a click does; once the key is let go,
    // so a held key does not select every profile it passes.
    if (watched == m_list1 && event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int row = m_list1->currentIndex().row();
        if (!key->isAutoRepeat() && row >= 0 && row != m_profiles.List1Index())
            m_profiles.List1_Click(row);
    }
    return MovablePanel::eventFilter(watched, event);
}

void ServerPanel::openChooser()
{
    if (!m_frame6->isVisible()) {
        QWidget* area = parentWidget();
        const QSize room = area ? area->size() - QSize(16, 16) : m_frame6->size();
        m_frame6->resize(m_frame6->size().expandedTo(m_frame6->sizeHint()).boundedTo(room));
        m_frame6->move(pos() + QPoint(32, 32));
    }
    m_frame6->showInFront();
}

void ServerPanel::Command23_Click()
{
    // The first platform opened it on drive c:, the home folder here.
    m_frame6->openFolders(QStringLiteral("ローカルマシンの初期フォルダー"), QDir::homePath());
    openChooser();
}

void ServerPanel::Command35_Click()
{
    const QString folder = QFileInfo(m_options.settingsLines().filePath()).absolutePath();
    m_frame6->openFiles(QStringLiteral("バックアップファイルの選択"), folder, QStringLiteral("FTPSet*.txt"));
    openChooser();
}
