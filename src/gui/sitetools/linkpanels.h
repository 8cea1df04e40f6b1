#pragma once

#include "gui/ui/movablepanel.h"

#include <functional>

class QAbstractItemModel;
class QLineEdit;
class QListView;

// `Frame26` "リンク表示": the link checker's report `List6`.
class LinkReportPanel : public MovablePanel {
    Q_OBJECT
public:
    LinkReportPanel(QAbstractItemModel* report, QWidget* parent);
    QListView* reportView() const { return m_view; }

private:
    QListView* m_view;
};

// `Frame15` "リンクチェック": the links the checker passes over (`List7`), the box `Text14`
// that receives a link not found, and the buttons that register and remove entries.
class LinkExclusionPanel : public MovablePanel {
    Q_OBJECT
public:
    using Add = std::function<void(const QString& text)>;
    using Remove = std::function<void(int row)>;

    LinkExclusionPanel(QAbstractItemModel* exclusions, Add add, Remove remove, QWidget* parent);

    QLineEdit* linkBox() const { return m_linkBox; }
    QListView* exclusionView() const { return m_view; }

private:
    QListView* m_view;
    QLineEdit* m_linkBox;
};
