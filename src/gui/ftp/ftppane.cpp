#include "gui/ftp/ftppane.h"

#include "core/ftpsession/remotepane.h"
#include "core/panes/panelistmodel.h"
#include "gui/panes/iconkeydelegate.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

FtpPane::FtpPane(RemotePane& pane, QWidget* parent)
    : QWidget(parent)
    , m_pane(pane)
    , m_upButton(new QToolButton(this))
    , m_pathBox(new QLineEdit(this))
    , m_fileView(new QTreeView(this))
{
    setObjectName(QStringLiteral("FtpPane"));
    m_upButton->setObjectName(QStringLiteral("cmdUp"));
    m_pathBox->setObjectName(QStringLiteral("TxtDir"));
    m_fileView->setObjectName(QStringLiteral("ListView1"));

    auto* label = new QLabel(QStringLiteral("FTP:"), this);
    label->setObjectName(QStringLiteral("TxtDirLabel"));
    label->setBuddy(m_pathBox);
    m_upButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    m_upButton->setToolTip(QStringLiteral("一つ上のフォルダーへ"));
    m_pathBox->setToolTip(QStringLiteral("FTPサーバーのフォルダー"));
    m_pathBox->setText(pane.folderText());

    m_fileView->setModel(pane.fileList());
    m_fileView->setSelectionModel(pane.fileSelection());
    auto* delegate = new IconKeyDelegate(m_fileView);
    delegate->setRightAlignedColumn(1);
    m_fileView->setItemDelegate(delegate);
    m_fileView->setRootIsDecorated(false);
    m_fileView->setUniformRowHeights(true);
    m_fileView->setAllColumnsShowFocus(true);
    m_fileView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_fileView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_fileView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_fileView->setSortingEnabled(false); // the pane sorts on a header click by itself
    QHeaderView* header = m_fileView->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(true);
    header->resizeSection(0, 180);
    header->resizeSection(1, 70);
    header->resizeSection(2, 60);
    header->resizeSection(3, 110);
    header->resizeSection(4, 80);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(label);
    top->addWidget(m_upButton);
    top->addWidget(m_pathBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_fileView, 1);

    connect(&pane, &RemotePane::folderTextChanged, m_pathBox, [this](const QString& text) {
        if (m_pathBox->text() != text)
            m_pathBox->setText(text);
    });
    connect(m_pathBox, &QLineEdit::textEdited, &pane, &RemotePane::setFolderText);
    connect(m_pathBox, &QLineEdit::returnPressed, &pane, &RemotePane::goToTypedFolder);
    connect(m_upButton, &QToolButton::clicked, &pane, &RemotePane::onUpClicked);
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) {
        m_pane.sortByHeader(m_pane.fileList()->headerData(section, Qt::Horizontal).toString());
        showSortIndicator(m_pane.sortColumn(), m_pane.sortOrder());
    });
    connect(&pane, &RemotePane::sortIndicatorChanged, this, &FtpPane::showSortIndicator);
    connect(m_fileView, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        if (m_pane.fileList()->isFolderRow(index.row()))
            m_pane.openFtpFolderRow(index.row());
        else
            Q_EMIT fileRowDoubleClicked(index.row());
    });
}

void FtpPane::showSortIndicator(int column, Qt::SortOrder order)
{
    QHeaderView* header = m_fileView->header();
    header->setSortIndicatorShown(column >= 0);
    if (column >= 0)
        header->setSortIndicator(column, order);
}
