#pragma once

#include "model/RadiologyTool.h"
#include "model/ToolIconSelection.h"
#include "ui/shared/ToolIcon.h"

#include <QColor>
#include <QWidget>

#include <functional>
#include <optional>

class QAbstractItemView;
class QModelIndex;

namespace velmor {

// The icon of a tool in a square of `size` pixels: its symbol, or its custom
// SVG icon drawn as a shape in the icon's colour, scaled to fit and centred. The
// colour is the palette's window text unless set. Lists that draw icons in a
// delegate use paint() directly.
class ToolIconView : public QWidget {
public:
    // The tool's icon; the tool's symbol stands in for a custom icon that cannot be loaded.
    ToolIconView(const RadiologyTool& tool, int size, QWidget* parent = nullptr);
    // An icon for no tool yet (the icon picker's preview, the toggle editor).
    ToolIconView(ToolIconSelection selection, std::optional<QString> fallbackSystemName, int size,
                 QWidget* parent = nullptr);

    void setTool(const RadiologyTool& tool);
    void setSelection(ToolIconSelection selection, std::optional<QString> fallbackSystemName);
    void setIconSize(int size);
    void setColor(std::optional<QColor> color);
    // The icon's own opacity (a disabled tool's icon is drawn at 0.45).
    void setIconOpacity(qreal opacity);

    const ToolIconSelection& selection() const { return selection_; }
    const std::optional<QString>& fallbackSystemName() const { return fallback_; }
    // What the view draws now (read at each paint, so a changed icon file shows once
    // the image cache is emptied).
    ToolIconImage image() const { return resolveToolIcon(selection_, fallback_); }

    QSize sizeHint() const override { return {size_, size_}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Draws `image` fitted into the square centred in `rect`, in `color`.
    static void paint(QPainter& painter, const QRectF& rect, const ToolIconImage& image, const QColor& color);
    // Custom icons show their fallback until their image is drawn: the rows of `list` in
    // view whose icon (`iconOf`) is the one that arrived repaint, and no other; all of them
    // when every image went. Icons no row in view shows cost a lookup per row in view.
    using IconOf = std::function<ToolIconSelection(const QModelIndex&)>;
    static void repaintRowsWhenImagesArrive(QAbstractItemView* list, IconOf iconOf);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ToolIconSelection selection_;
    std::optional<QString> fallback_;
    int size_;
    std::optional<QColor> color_;
    qreal opacity_ = 1.0;
};

} // namespace velmor
