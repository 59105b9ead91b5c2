#include "ui/shared/Contrast.h"

#include <algorithm>
#include <cmath>

namespace velmor::contrast {

namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour)
{
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

} // namespace

QColor mix(const QColor& from, const QColor& to, double amount)
{
    const double a = std::clamp(amount, 0.0, 1.0);
    const auto channel = [a](float x, float y) { return static_cast<float>(x + (y - x) * a); };
    return QColor::fromRgbF(channel(from.redF(), to.redF()), channel(from.greenF(), to.greenF()),
                            channel(from.blueF(), to.blueF()));
}

QColor composite(const QColor& over, const QColor& under)
{
    return mix(under, over, over.alphaF());
}

double ratio(const QColor& foreground, const QColor& background)
{
    const QColor opaqueBackground = mix(background, background, 0);
    const double a = luminance(composite(foreground, opaqueBackground));
    const double b = luminance(opaqueBackground);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor legible(const QColor& text, const QColor& background, double fraction, double minimumRatio)
{
    const QColor opaqueText = composite(text, background);
    for (double amount = fraction; amount < 1.0; amount += 0.05) {
        const QColor candidate = mix(background, opaqueText, amount);
        if (ratio(candidate, background) >= minimumRatio)
            return candidate;
    }
    return opaqueText;
}

QColor legibleText(const QColor& preferred, const QColor& background)
{
    if (ratio(preferred, background) >= legibleRatio)
        return preferred;
    const QColor end = ratio(Qt::white, background) >= ratio(Qt::black, background) ? QColor(Qt::white) : QColor(Qt::black);
    // The least step (to 1 %) towards the end that is legible.
    double low = 0, high = 1;
    for (int step = 0; step < 7; ++step) {
        const double middle = (low + high) / 2;
        (ratio(mix(preferred, end, middle), background) >= legibleRatio ? high : low) = middle;
    }
    const QColor moved = mix(preferred, end, high);
    return ratio(moved, background) >= legibleRatio ? moved : end;
}

} // namespace velmor::contrast
