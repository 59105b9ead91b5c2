#include "ui/admin/IconGridModel.h"

#include "ui/shared/PlainText.h"
#include "ui/shared/ToolTipRoom.h"

namespace velmor {

IconGridModel::IconGridModel(Picture picture, QFont font, QObject* parent)
    : QAbstractListModel(parent), picture_(std::move(picture)), font_(std::move(font))
{
}

void IconGridModel::setCells(QList<IconGridCell> cells)
{
    if (cells == cells_)
        return;
    beginResetModel();
    cells_ = std::move(cells);
    endResetModel();
}

void IconGridModel::picturesChanged(const QList<int>& rows)
{
    for (const int row : rows)
        if (row >= 0 && row < cells_.size())
            emit dataChanged(index(row), index(row), {Qt::DecorationRole});
}

void IconGridModel::allPicturesChanged()
{
    if (!cells_.isEmpty())
        emit dataChanged(index(0), index(int(cells_.size()) - 1), {Qt::DecorationRole});
}

int IconGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(cells_.size()); }

QVariant IconGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= cells_.size())
        return {};
    const IconGridCell& cell = cells_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return cell.label;
    case Qt::DecorationRole:
        ++picturesAsked_;
        return picture_(cell);
    case Qt::ToolTipRole:
        // Fitting a name to a tooltip's room measures it: only the cell hovered pays.
        return plainText::toolTip(ToolTipRoom().line({ToolTipRoom::name(cell.named)}));
    case Qt::FontRole:
        return font_;
    case NameRole:
        return cell.name;
    default:
        return {};
    }
}

} // namespace velmor
