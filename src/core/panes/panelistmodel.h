#pragma once

#include <QAbstractTableModel>
#include <QRgb>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

// The model of a file list (`fileList`, `fileList`): one row per entry, the name in column 0
// with its icon key (ItemRoles::IconKeyRole), text columns after it. A row is one compact record
// (its texts in one string), not an object per cell: a folder of 200,000 entries must not cost
// gigabytes. Rows are replaced in one reset and reordered in one layout change, so a view never
// sees a half-built list and the cost stays linear in the number of rows.
class PaneListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int MaxColumns = 6;

    class Row {
    public:
        Row() = default;
        // `iconKey` is one of the IconKeys; the texts are the columns from the name on.
        Row(const QString& iconKey, std::initializer_list<QStringView> texts);

        QStringView text(int column) const;
        QString iconKey() const;

    private:
        friend class PaneListModel;
        void setText(int column, QStringView text);

        QString m_texts; // the columns one after another
        std::array<quint32, MaxColumns> m_ends {}; // where each column's text ends in m_texts
        QRgb m_colour = 0; // the text colour; fully transparent when the row has none
        quint8 m_icon = 0;
    };

    PaneListModel(const QStringList& headers, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    QString text(int row, int column) const;
    QString iconKey(int row) const;
    // The first row whose name is `name`, or -1.
    int rowNamed(const QString& name) const;

    // Replaces every row with `rows` in one model reset.
    void replaceRows(std::vector<Row>&& rows);

    // Gives every row the text colour `colourOf` returns for its name, with one change notice.
    void colourRows(const std::function<QRgb(const QString& name)>& colourOf);

    // Rearranges the rows: row i shows what row newOrder[i] showed. Selections follow the rows.
    void reorderRows(const std::vector<int>& newOrder);

    // A row is a folder unless its icon key is a file's ("leaf", "leaf2", "leaf3", "leafkill").
    bool isFolderRow(int row) const;

    // Folders before files, keeping the present order within each group.
    void orderFoldersFirst();

    // Stable sort on the texts of `column` (case-insensitive), ties keeping the present order.
    void sortByColumnText(int column, Qt::SortOrder order);

private:
    QStringList m_headers;
    std::vector<Row> m_rows;
};
