#pragma once

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QStringList>

namespace ModelTexts {

// The first column's texts, top to bottom.
inline QStringList itemTexts(const QAbstractItemModel* model)
{
    QStringList out;
    for (int r = 0; r < model->rowCount(); ++r)
        out.append(model->index(r, 0).data().toString());
    return out;
}

// Selects exactly the rows whose first column reads one of `names`; false when one is missing.
inline bool selectRowsByName(QItemSelectionModel* selection, const QStringList& names)
{
    const QAbstractItemModel* model = selection->model();
    selection->clearSelection();
    qsizetype found = 0;
    for (int r = 0; r < model->rowCount(); ++r) {
        if (names.contains(model->index(r, 0).data().toString())) {
            selection->select(model->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            ++found;
        }
    }
    return found == names.size();
}

} // namespace ModelTexts
