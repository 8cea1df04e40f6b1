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
    , m_cmdUp(new QToolButton(this))
    , m_txtDir(new QLineEdit(this))
    , m_listView1(new QTreeView(this))
{
    setObjectName(QStringLiteral("FtpPane"));
    m_cmdUp->setObjectName(QStringLiteral("cmdUp"));
    m_txtDir->setObjectName(QStringLiteral("TxtDir"));
    m_listView1->setObjectName(QStringLiteral("ListView1"));

    auto* label = new QLabel(QStringLiteral("FTP:"), this);
    label->setObjectName(QStringLiteral("TxtDirLabel"));
    label->setBuddy(m_txtDir);
    m_cmdUp->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    m_cmdUp->setToolTip(QStringLiteral("一つ上のフォルダーへ"));
    m_txtDir->setToolTip(QStringLiteral("FTPサーバーのフォルダー"));
    m_txtDir->setText(pane.TxtDir());

    m_listView1->setModel(pane.ListView1());
    m_listView1->setSelectionModel(pane.ListView1Selection());
    auto* delegate = new IconKeyDelegate(m_listView1);
    delegate->setRightAlignedColumn(1);
    m_listView1->setItemDelegate(delegate);
    m_listView1->setRootIsDecorated(false);
    m_listView1->setUniformRowHeights(true);
    m_listView1->setAllColumnsShowFocus(true);
    m_listView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView1->setSortingEnabled(false); // the pane sorts on a header click by itself
    QHeaderView* header = m_listView1->header();
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
    top->addWidget(m_cmdUp);
    top->addWidget(m_txtDir, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_listView1, 1);

    connect(&pane, &RemotePane::TxtDirChanged, m_txtDir, [this](const QString& text) {
        if (m_txtDir->text() != text)
            m_txtDir->setText(text);
    });
    connect(m_txtDir, &QLineEdit::textEdited, &pane, &RemotePane::setTxtDir);
    connect(m_txtDir, &QLineEdit::returnPressed, &pane, &RemotePane::TxtDir_KeyPress);
    connect(m_cmdUp, &QToolButton::clicked, &pane, &RemotePane::cmdUp_Click);
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) {
        m_pane.ListView1_ColumnClick(m_pane.ListView1()->headerData(section, Qt::Horizontal).toString());
        showSortIndicator(m_pane.sortColumn(), m_pane.sortOrder());
    });
    connect(&pane, &RemotePane::sortIndicatorChanged, this, &FtpPane::showSortIndicator);
    connect(m_listView1, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        if (m_pane.ListView1()->isFolderRow(index.row()))
            m_pane.openFtpFolderRow(index.row());
        else
            Q_EMIT fileRowDoubleClicked(index.row());
    });
}

void FtpPane::showSortIndicator(int column, Qt::SortOrder order)
{
    QHeaderView* header = m_listView1->header();
    header->setSortIndicatorShown(column >= 0);
    if (column >= 0)
        header->setSortIndicator(column, order);
}
