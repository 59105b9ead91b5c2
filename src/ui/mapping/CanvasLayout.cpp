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
    QHash<QUuid, qsizetype> wanted; // the mapped tools, to the first button that names each
    for (qsizetype index = 0; index < in.device.buttons.size(); ++index) {
        Button b;
        b.button = in.device.buttons[index];
        b.frame = resolvedButtonFrame(in.device, index, in.overrides);
        if (!b.button.id.isEmpty())
            if (const auto found = in.mappings.constFind(b.button.id); found != in.mappings.constEnd()) {
                b.mapping = *found;
                wanted.insert(found->toolId, 0);
            }
        b.selected = in.selectedButtonId == b.button.id;
        b.pressed = in.pressedButtonId == b.button.id;
        result.append(std::move(b));
    }
    // The buttons' tools in one pass over the profile, ending when each is found.
    qsizetype missing = wanted.size();
    for (const RadiologyTool& tool : in.pacs.tools) {
        if (missing == 0)
            break;
        const auto found = wanted.find(tool.id);
        if (found == wanted.end() || *found)
            continue;
        *found = 1; // the first tool of an id, as toolById finds it
        --missing;
        for (Button& b : result)
            if (b.mapping && b.mapping->toolId == tool.id)
                b.tool = tool;
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
