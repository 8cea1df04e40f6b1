#include "gui/ftp/ftppane.h"

#include "core/ftpsession/remotepane.h"
#include "core/panes/panelistmodel.h"
#include "gui/panes/fileview.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>

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
    m_pathBox->setToolTip(QStringLiteral("FTPサーバーのフォルダー"));
    m_pathBox->setText(pane.folderText());
    FileView::setUp(m_fileView, pane.fileList(), pane.fileSelection(), { 180, 70, 60, 110, 80 });
    FileView::layOut(this, label, m_upButton, m_pathBox, m_fileView);

    connect(&pane, &RemotePane::folderTextChanged, m_pathBox, [this](const QString& text) {
        if (m_pathBox->text() != text)
            m_pathBox->setText(text);
    });
    connect(m_pathBox, &QLineEdit::textEdited, &pane, &RemotePane::setFolderText);
    connect(m_pathBox, &QLineEdit::returnPressed, &pane, &RemotePane::goToTypedFolder);
    connect(m_upButton, &QToolButton::clicked, &pane, &RemotePane::onUpClicked);
    connect(m_fileView->header(), &QHeaderView::sectionClicked, this, [this](int section) {
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
