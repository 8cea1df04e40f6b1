#include "gui/panes/localpanewidget.h"

#include "core/panes/localpane.h"
#include "gui/panes/iconkeydelegate.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

LocalPaneWidget::LocalPaneWidget(LocalPane& pane, QWidget* parent)
    : QWidget(parent)
    , m_pane(pane)
    , m_drive2(new QComboBox(this))
    , m_cmdUp2(new QToolButton(this))
    , m_txtDir2(new QLineEdit(this))
    , m_listView2(new QTreeView(this))
{
    setObjectName(QStringLiteral("LocalPane"));
    m_drive2->setObjectName(QStringLiteral("Drive2"));
    m_cmdUp2->setObjectName(QStringLiteral("cmdUp2"));
    m_txtDir2->setObjectName(QStringLiteral("TxtDir2"));
    m_listView2->setObjectName(QStringLiteral("ListView2"));

    m_drive2->setModel(pane.Drive2());
    m_drive2->setCurrentIndex(pane.Drive2Index());
    m_drive2->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_drive2->setMinimumContentsLength(6);
    m_cmdUp2->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    m_cmdUp2->setToolTip(QStringLiteral("一つ上のフォルダーへ"));
    m_txtDir2->setText(pane.TxtDir2());

    m_listView2->setModel(pane.ListView2());
    m_listView2->setSelectionModel(pane.ListView2Selection());
    auto* delegate = new IconKeyDelegate(m_listView2);
    delegate->setRightAlignedColumn(1);
    m_listView2->setItemDelegate(delegate);
    m_listView2->setRootIsDecorated(false);
    m_listView2->setUniformRowHeights(true);
    m_listView2->setAllColumnsShowFocus(true);
    m_listView2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listView2->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView2->setSortingEnabled(false); // the pane sorts on a header click by itself
    QHeaderView* header = m_listView2->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(true);
    header->resizeSection(0, 220);
    header->resizeSection(1, 90);
    header->resizeSection(2, 110);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(m_drive2);
    top->addWidget(m_cmdUp2);
    top->addWidget(m_txtDir2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_listView2, 1);

    connect(&pane, &LocalPane::TxtDir2Changed, m_txtDir2, [this](const QString& text) {
        if (m_txtDir2->text() != text)
            m_txtDir2->setText(text);
    });
    connect(m_txtDir2, &QLineEdit::textEdited, &pane, &LocalPane::setTxtDir2);
    connect(m_txtDir2, &QLineEdit::returnPressed, &pane, &LocalPane::goToTypedFolder);
    connect(&pane, &LocalPane::Drive2IndexChanged, m_drive2, &QComboBox::setCurrentIndex);
    connect(m_drive2, &QComboBox::activated, &pane, &LocalPane::Drive2_Change);
    connect(m_cmdUp2, &QToolButton::clicked, &pane, &LocalPane::MoveUpLocalFolder);
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) {
        m_pane.ListView2_ColumnClick(m_pane.ListView2()->headerData(section, Qt::Horizontal).toString());
        showSortIndicator(m_pane.sortColumn(), m_pane.sortOrder());
    });
    connect(&pane, &LocalPane::sortIndicatorChanged, this, &LocalPaneWidget::showSortIndicator);
    connect(m_listView2, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        if (m_pane.ListView2()->isFolderRow(index.row()))
            m_pane.openLocalFolderRow(index.row());
        else
            Q_EMIT fileRowDoubleClicked(index.row());
    });
    connect(&pane, &LocalPane::busyChanged, this, [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    });
}

void LocalPaneWidget::showSortIndicator(int column, Qt::SortOrder order)
{
    QHeaderView* header = m_listView2->header();
    header->setSortIndicatorShown(column >= 0);
    if (column >= 0)
        header->setSortIndicator(column, order);
}
