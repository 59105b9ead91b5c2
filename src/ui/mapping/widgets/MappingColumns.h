#pragma once

#include <QLayout>
#include <QList>

namespace velmor {

// The widths of the mapping window's four columns for a row `width` wide
// (margins and spacing taken off). The side columns take their minimum, then
// grow to their ideal, then to their maximum; only then does the centre grow
// past its minimum. Below the sum of the minimums every column keeps its minimum.
struct MappingColumnWidths {
    int rail = 0;
    int panel = 0;
    int centre = 0;
    int right = 0;

    static constexpr int railWidth = 80;
    static constexpr int panelMinimum = 280, panelIdeal = 320, panelMaximum = 360;
    static constexpr int rightMinimum = 260, rightIdeal = 320, rightMaximum = 420;

    static MappingColumnWidths forWidth(int width, int centreMinimum);
};

// Lays out the mode rail, the context panel, the centre and the right column
// side by side at full height, with the widths above.
class MappingColumnsLayout : public QLayout {
public:
    static constexpr int margin = 16;
    static constexpr int spacing = 14;

    MappingColumnsLayout(QWidget* rail, QWidget* panel, QWidget* centre, QWidget* right, QWidget* parent);
    ~MappingColumnsLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal | Qt::Vertical; }
    void setGeometry(const QRect& rect) override;

private:
    int centreMinimum() const;

    QList<QLayoutItem*> items_; // rail, panel, centre, right
};

} // namespace velmor
