#include "ui/mapping/CanvasLayout.h"

#include "ui/mapping/MappingDerivedData.h"
#include "ui/shared/ButtonFrames.h"

#include <algorithm>

namespace velmor::canvasLayout {

double aspectRatio(const Device& device, const LayoutOverrides& overrides)
{
    if (device.buttons.isEmpty())
        return 1.0;
    double right = 0;
    double bottom = 0;
    for (qsizetype index = 0; index < device.buttons.size(); ++index) {
        const NormalizedRect frame = resolvedButtonFrame(device, index, overrides);
        right = std::max(right, frame.x + frame.width);
        bottom = std::max(bottom, frame.y + frame.height);
    }
    return std::clamp(layoutRatio(right, bottom), 0.6, 1.8);
}

QRectF canvasRect(const QSizeF& offered, double ratio)
{
    const double width = std::min(offered.height() * ratio, offered.width());
    const double height = width / ratio;
    return {(offered.width() - width) / 2, (offered.height() - height) / 2, width, height};
}

QRectF pointRect(const NormalizedRect& frame, const QSizeF& canvas)
{
    return {frame.x * canvas.width(), frame.y * canvas.height(), frame.width * canvas.width(),
            frame.height * canvas.height()};
}

bool showsToolName(const QRectF& rect) { return rect.width() >= 70 && rect.height() >= 34; }

QList<Button> buttons(const Inputs& in)
{
    QList<Button> result;
    result.reserve(in.device.buttons.size());
    for (qsizetype index = 0; index < in.device.buttons.size(); ++index) {
        Button b;
        b.button = in.device.buttons[index];
        b.frame = resolvedButtonFrame(in.device, index, in.overrides);
        b.mapping = mappingData::mappingForButton(in.mappings, b.button.id);
        if (b.mapping)
            b.tool = mappingData::toolById(in.pacs, b.mapping->toolId);
        b.selected = in.selectedButtonId == b.button.id;
        b.pressed = in.pressedButtonId == b.button.id;
        result.append(std::move(b));
    }
    return result;
}

qsizetype buttonAt(const QList<Button>& buttons, const QSizeF& canvas, const QPointF& point)
{
    for (qsizetype index = buttons.size() - 1; index >= 0; --index)
        if (pointRect(buttons[index].frame, canvas).contains(point))
            return index;
    return -1;
}

} // namespace velmor::canvasLayout
