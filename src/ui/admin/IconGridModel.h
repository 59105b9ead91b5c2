#pragma once

#include "model/ToolIconSelection.h"

#include <QAbstractListModel>
#include <QFont>
#include <QIcon>
#include <QList>
#include <QString>

#include <functional>

namespace velmor {

// One cell of the icon picker's grid.
struct IconGridCell {
    ToolIconSource source = ToolIconSource::system;
    QString name;  // the symbol's name, or the custom icon's file name
    QString label; // the cell's text
    QString named; // the name its tooltip shows, cut to the tooltip's room when asked
    bool operator==(const IconGridCell&) const = default;
};

// The icon picker's cells as an item model. Nothing is made per cell up front: a cell's
// picture and tooltip are asked for when a view shows it, so a new list of thousands of
// cells (a keystroke in the search, an opening) costs what is on screen.
class IconGridModel : public QAbstractListModel {
public:
    enum Role { NameRole = Qt::UserRole }; // the cell's name
    // The cell's picture, asked for at each paint of it: whoever draws it keeps it.
    using Picture = std::function<QIcon(const IconGridCell&)>;

    explicit IconGridModel(Picture picture, QFont font, QObject* parent = nullptr);

    // A list that differs from the one shown replaces it.
    void setCells(QList<IconGridCell> cells);
    // Those rows' pictures changed: views repaint them, and only them.
    void picturesChanged(const QList<int>& rows);
    // Every picture changed (the drawings were thrown away).
    void allPicturesChanged();
    const IconGridCell& cell(int row) const { return cells_.at(row); }
    const QList<IconGridCell>& cells() const { return cells_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Pictures asked for so far: the work the cells shown cost.
    int picturesAsked() const { return picturesAsked_; }

private:
    Picture picture_;
    QFont font_;
    QList<IconGridCell> cells_;
    mutable int picturesAsked_ = 0;
};

} // namespace velmor
