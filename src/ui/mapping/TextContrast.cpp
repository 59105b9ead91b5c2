#include "ui/mapping/TextContrast.h"

#include <algorithm>
#include <cmath>

namespace velmor::textContrast {

namespace {

qreal channel(qreal value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

qreal luminance(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

QColor mix(const QColor& from, const QColor& to, qreal amount)
{
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * amount),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * amount),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * amount));
}

} // namespace

qreal ratio(const QColor& first, const QColor& second)
{
    const qreal a = luminance(first);
    const qreal b = luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor composite(const QColor& over, const QColor& under)
{
    const QColor opaque = over.toRgb();
    QColor solid = opaque;
    solid.setAlphaF(1.0f);
    return mix(under, solid, opaque.alphaF());
}

QColor legibleText(const QColor& preferred, const QColor& background)
{
    if (ratio(preferred, background) >= legibleRatio)
        return preferred;
    const QColor end = ratio(Qt::white, background) >= ratio(Qt::black, background) ? QColor(Qt::white) : QColor(Qt::black);
    // The least step (to 1 %) towards the end that is legible.
    qreal low = 0, high = 1;
    for (int step = 0; step < 7; ++step) {
        const qreal middle = (low + high) / 2;
        (ratio(mix(preferred, end, middle), background) >= legibleRatio ? high : low) = middle;
    }
    const QColor moved = mix(preferred, end, high);
    return ratio(moved, background) >= legibleRatio ? moved : end;
}

} // namespace velmor::textContrast
