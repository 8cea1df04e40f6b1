#include "gui/panes/localpanewidget.h"

#include "core/panes/localpane.h"
#include "gui/panes/fileview.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QToolButton>
#include <QTreeView>

LocalPaneWidget::LocalPaneWidget(LocalPane& pane, QWidget* parent)
    : QWidget(parent)
    , m_pane(pane)
    , m_driveBox(new QComboBox(this))
    , m_upButton(new QToolButton(this))
    , m_pathBox(new QLineEdit(this))
    , m_fileView(new QTreeView(this))
{
    setObjectName(QStringLiteral("LocalPane"));
    m_driveBox->setObjectName(QStringLiteral("Drive2"));
    m_upButton->setObjectName(QStringLiteral("cmdUp2"));
    m_pathBox->setObjectName(QStringLiteral("TxtDir2"));
    m_fileView->setObjectName(QStringLiteral("ListView2"));

    m_driveBox->setModel(pane.driveList());
    m_driveBox->setCurrentIndex(pane.driveIndex());
    m_driveBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_driveBox->setMinimumContentsLength(6);
    m_pathBox->setText(pane.folderText());
    FileView::setUp(m_fileView, pane.fileList(), pane.fileSelection(), { 220, 90, 110 });
    FileView::layOut(this, m_driveBox, m_upButton, m_pathBox, m_fileView);

    connect(&pane, &LocalPane::folderTextChanged, m_pathBox, [this](const QString& text) {
        if (m_pathBox->text() != text)
            m_pathBox->setText(text);
    });
    connect(m_pathBox, &QLineEdit::textEdited, &pane, &LocalPane::setFolderText);
    connect(m_pathBox, &QLineEdit::returnPressed, &pane, &LocalPane::goToTypedFolder);
    connect(&pane, &LocalPane::driveIndexChanged, m_driveBox, &QComboBox::setCurrentIndex);
    connect(m_driveBox, &QComboBox::activated, &pane, &LocalPane::chooseDrive);
    connect(m_upButton, &QToolButton::clicked, &pane, &LocalPane::MoveUpLocalFolder);
    connect(m_fileView->header(), &QHeaderView::sectionClicked, this, [this](int section) {
        m_pane.sortByHeader(m_pane.fileList()->headerData(section, Qt::Horizontal).toString());
        showSortIndicator(m_pane.sortColumn(), m_pane.sortOrder());
    });
    connect(&pane, &LocalPane::sortIndicatorChanged, this, &LocalPaneWidget::showSortIndicator);
    connect(m_fileView, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        if (m_pane.fileList()->isFolderRow(index.row()))
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
    QHeaderView* header = m_fileView->header();
    header->setSortIndicatorShown(column >= 0);
    if (column >= 0)
        header->setSortIndicator(column, order);
}
