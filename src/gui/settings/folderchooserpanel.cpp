#include "gui/settings/folderchooserpanel.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

// A folder of more entries than this is shown cut short; the chooser is for picking, not browsing.
constexpr int MaxShownEntries = 5000;

const QString Up = QStringLiteral("..");

} // namespace

FolderChooserPanel::FolderChooserPanel(QWidget* parent)
    : MovablePanel(
        QStringLiteral("Frame6"), QStringLiteral("Label6"), QStringLiteral("ローカルマシンの初期フォルダー"), parent)
{
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("Frame6Path"));
    body()->addWidget(m_path);

    auto* lists = new QHBoxLayout;
    m_folders = new QListWidget(this);
    m_folders->setObjectName(QStringLiteral("Frame6Folders"));
    m_folders->setToolTip(QStringLiteral("ダブルクリックでフォルダーを開きます"));
    m_files = new QListWidget(this);
    m_files->setObjectName(QStringLiteral("Frame6Files"));
    lists->addWidget(m_folders, 1);
    lists->addWidget(m_files, 1);
    body()->addLayout(lists, 1);

    m_command24 = new QPushButton(QStringLiteral("OK"), this);
    m_command24->setObjectName(QStringLiteral("Command24"));
    m_cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    m_cancel->setObjectName(QStringLiteral("Frame6Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command24);
    buttons->addWidget(m_cancel);
    body()->addLayout(buttons);

    connect(m_folders, &QListWidget::itemClicked, this, &FolderChooserPanel::folderClicked);
    connect(m_folders, &QListWidget::itemActivated, this, &FolderChooserPanel::folderActivated);
    connect(m_files, &QListWidget::itemClicked, this, &FolderChooserPanel::fileClicked);
    connect(m_command24, &QPushButton::clicked, this, [this] { Q_EMIT chosen(m_mode, path()); });
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::hide);
    resize(420, 320);
}

void FolderChooserPanel::openFolders(const QString& caption, const QString& folder)
{
    m_mode = Mode::Folder;
    m_pattern.clear();
    titleLabel()->setText(caption);
    m_files->hide();
    if (!enterFolder(folder))
        enterFolder(QDir::homePath());
}

void FolderChooserPanel::openFiles(const QString& caption, const QString& folder, const QString& pattern)
{
    m_mode = Mode::File;
    m_pattern = pattern;
    titleLabel()->setText(caption);
    m_files->show();
    if (!enterFolder(folder))
        enterFolder(QDir::homePath());
}

QString FolderChooserPanel::path() const { return m_path->text().trimmed(); }

bool FolderChooserPanel::enterFolder(const QString& folder)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists() || !dir.isReadable())
        return false;
    m_folder = QDir::cleanPath(dir.absolutePath());

    m_folders->clear();
    if (!dir.isRoot())
        m_folders->addItem(Up);
    const QStringList folders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : folders.mid(0, MaxShownEntries))
        m_folders->addItem(name);

    m_files->clear();
    if (m_mode == Mode::File) {
        const QStringList files = dir.entryList({ m_pattern }, QDir::Files, QDir::Name | QDir::IgnoreCase);
        for (const QString& name : files.mid(0, MaxShownEntries))
            m_files->addItem(name);
        m_path->clear();
    } else {
        m_path->setText(m_folder);
    }
    return true;
}

void FolderChooserPanel::folderClicked(QListWidgetItem* item)
{
    if (!item || m_mode != Mode::Folder || item->text() == Up)
        return;
    m_path->setText(QDir(m_folder).filePath(item->text()));
}

void FolderChooserPanel::folderActivated(QListWidgetItem* item)
{
    if (!item)
        return;
    const QString target
        = item->text() == Up ? QFileInfo(m_folder).absolutePath() : QDir(m_folder).filePath(item->text());
    enterFolder(target);
}

void FolderChooserPanel::fileClicked(QListWidgetItem* item)
{
    if (!item || m_mode != Mode::File)
        return;
    m_path->setText(QDir(m_folder).filePath(item->text()));
}
