#pragma once

#include <QAbstractItemModel>
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

} // namespace ModelTexts
