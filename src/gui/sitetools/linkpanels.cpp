#include "gui/sitetools/linkpanels.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QListView* listView(const QString& objectName, QAbstractItemModel* model, QWidget* parent)
{
    auto* view = new QListView(parent);
    view->setObjectName(objectName);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setUniformItemSizes(true);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return view;
}

} // namespace

LinkReportPanel::LinkReportPanel(QAbstractItemModel* report, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame26"), QStringLiteral("Frame26Title"), QStringLiteral("リンク表示"), parent)
    , m_view(listView(QStringLiteral("List6"), report, this))
{
    body()->addWidget(m_view, 1);
    addCloseButton(QStringLiteral("Frame26Close"));
    // The newest line stays in sight while a check runs.
    connect(report, &QAbstractItemModel::rowsInserted, m_view, [this] { m_view->scrollToBottom(); });
    resize(460, 300);
    hide();
}

LinkExclusionPanel::LinkExclusionPanel(QAbstractItemModel* exclusions, Add add, Remove remove, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame15"), QStringLiteral("Frame15Title"), QStringLiteral("リンクチェック"), parent)
    , m_view(listView(QStringLiteral("List7"), exclusions, this))
    , m_linkBox(new QLineEdit(this))
{
    m_linkBox->setObjectName(QStringLiteral("Text14"));
    auto* registerButton = new QPushButton(QStringLiteral("登録"), this);
    registerButton->setObjectName(QStringLiteral("Frame15Register"));
    registerButton->setToolTip(QStringLiteral("チェックしないリンクとして登録します"));
    auto* removeButton = new QPushButton(QStringLiteral("削除"), this);
    removeButton->setObjectName(QStringLiteral("Frame15Remove"));
    removeButton->setToolTip(QStringLiteral("選択した登録を削除します"));
    auto* row = new QHBoxLayout;
    row->addWidget(m_linkBox, 1);
    row->addWidget(registerButton);
    row->addWidget(removeButton);
    body()->addWidget(new QLabel(QStringLiteral("チェックしないリンク"), this));
    body()->addWidget(m_view, 1);
    body()->addLayout(row);
    addCloseButton(QStringLiteral("Frame15Close"));
    connect(registerButton, &QPushButton::clicked, this, [this, add = std::move(add)] {
        if (!m_linkBox->text().trimmed().isEmpty())
            add(m_linkBox->text().trimmed());
    });
    connect(removeButton, &QPushButton::clicked, this, [this, remove = std::move(remove)] {
        const QModelIndex current = m_view->currentIndex();
        if (current.isValid())
            remove(current.row());
    });
    resize(380, 280);
    hide();
}
