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
    m_profileList = new QListView(this);
    m_profileList->setObjectName(QStringLiteral("List1"));
    m_profileList->setModel(m_options.profileNameModel());
    m_profileList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_profileList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_profileList->setToolTip(QStringLiteral("クリックで選択します"));
    m_profileList->installEventFilter(this);
    left->addWidget(m_profileList, 1);
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
        m_fieldFrames[i] = new QGroupBox(Profiles::fieldCaption(i), this);
        m_fieldFrames[i]->setObjectName(QStringLiteral("Frame22_%1").arg(i));
        m_fieldBoxes[i] = lineEdit(QStringLiteral("txtftp_%1").arg(i), m_fieldFrames[i]);
        auto* row = new QHBoxLayout(m_fieldFrames[i]);
        row->setContentsMargins(4, 2, 4, 2);
        row->addWidget(m_fieldBoxes[i], 1);
        if (i == 2)
            row->addWidget(command14Anonymous);
        if (i == 4)
            row->addWidget(command23);
        right->addWidget(m_fieldFrames[i]);
        connect(m_fieldBoxes[i], &QLineEdit::textEdited, &m_profiles,
            [this, i](const QString& text) { m_profiles.setField(i, text); });
    }
    m_fieldBoxes[3]->setEchoMode(QLineEdit::Password);

    m_serverTimesAsLocalBox
        = checkBox(QStringLiteral("Check9"), QStringLiteral("FTPサーバーの時間をローカルの時間に変更する。"), this);
    body()->addWidget(m_serverTimesAsLocalBox);
    connect(m_serverTimesAsLocalBox, &QCheckBox::toggled, &m_options, &Options::setServerTimesAsLocal);

    auto* command14Ok = button(QStringLiteral("Command14_0"), QStringLiteral("OK"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(command14Ok);
    body()->addLayout(buttons);

    m_chooser = new FolderChooserPanel(parent);

    connect(command2Register, &QPushButton::clicked, &m_profiles, &Profiles::registerProfile);
    connect(command2Delete, &QPushButton::clicked, &m_profiles, &Profiles::deleteSelectedProfile);
    connect(command6, &QPushButton::clicked, &m_profiles, &Profiles::clearFields);
    connect(command14Anonymous, &QPushButton::clicked, this, [this] { onOkOrAnonymousClicked(1); });
    connect(command23, &QPushButton::clicked, this, &ServerPanel::chooseLocalStartFolder);
    connect(command32, &QPushButton::clicked, &m_profiles, &Profiles::backUpSettings);
    connect(command35, &QPushButton::clicked, this, &ServerPanel::chooseBackupToRestore);
    connect(command14Ok, &QPushButton::clicked, this, [this] { onOkOrAnonymousClicked(0); });
    connect(m_profileList, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            m_profiles.selectProfileRow(index.row());
    });
    connect(m_chooser, &FolderChooserPanel::chosen, this, [this](FolderChooserPanel::Mode mode, const QString& path) {
        if (mode == FolderChooserPanel::Mode::Folder) {
            m_profiles.setLocalStartFolder(path);
        } else if (!m_profiles.restoreSettings(path)) {
            return; // the user was told; the chooser stays for another choice
        }
        m_chooser->hide();
    });

    connect(&m_profiles, &Profiles::changed, this, &ServerPanel::refresh);
    connect(&m_profiles, &Profiles::selectedProfileRowChanged, this, &ServerPanel::showSelectedProfileRow);
    connect(&m_options, &Options::changed, this, &ServerPanel::refresh);
    // The view keeps a current row of its own through insertions and removals: show ours.
    for (auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
        connect(m_options.profileNameModel(), signal, this, [this] { showSelectedProfileRow(m_profiles.selectedProfileRow()); });
    connect(
        m_options.profileNameModel(), &QAbstractItemModel::modelReset, this, [this] { showSelectedProfileRow(m_profiles.selectedProfileRow()); });
    refresh();
}

void ServerPanel::onOkOrAnonymousClicked(int index)
{
    if (index == 1) {
        m_profiles.anonymous();
        return;
    }
    m_chooser->hide();
    hide();
}

void ServerPanel::refresh()
{
    for (int i = 0; i < Profiles::FieldCount; ++i)
        mirrorText(m_fieldBoxes[i], m_profiles.field(i));
    mirrorChecked(m_serverTimesAsLocalBox, m_options.serverTimesAsLocal());
}

void ServerPanel::showSelectedProfileRow(int row)
{
    QItemSelectionModel* selection = m_profileList->selectionModel();
    const QModelIndex index = m_options.profileNameModel()->index(row);
    if (!index.isValid()) {
        selection->clear();
        return;
    }
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_profileList->scrollTo(index);
}

bool ServerPanel::eventFilter(QObject* watched, QEvent* event)
{
    // Moving through the names with the keys selects, as a click does; once the key is let go,
    // so a held key does not select every profile it passes.
    if (watched == m_profileList && event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int row = m_profileList->currentIndex().row();
        if (!key->isAutoRepeat() && row >= 0 && row != m_profiles.selectedProfileRow())
            m_profiles.selectProfileRow(row);
    }
    return MovablePanel::eventFilter(watched, event);
}

void ServerPanel::openChooser()
{
    if (!m_chooser->isVisible()) {
        QWidget* area = parentWidget();
        const QSize room = area ? area->size() - QSize(16, 16) : m_chooser->size();
        m_chooser->resize(m_chooser->size().expandedTo(m_chooser->sizeHint()).boundedTo(room));
        m_chooser->move(pos() + QPoint(32, 32));
    }
    m_chooser->showInFront();
}

void ServerPanel::chooseLocalStartFolder()
{
    // The first platform opened it on drive c:, the home folder here.
    m_chooser->openFolders(QStringLiteral("ローカルマシンの初期フォルダー"), QDir::homePath());
    openChooser();
}

void ServerPanel::chooseBackupToRestore()
{
    const QString folder = QFileInfo(m_options.settingsLines().filePath()).absolutePath();
    m_chooser->openFiles(QStringLiteral("バックアップファイルの選択"), folder, QStringLiteral("FTPSet*.txt"));
    openChooser();
}
