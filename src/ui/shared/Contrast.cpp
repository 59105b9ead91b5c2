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

double ratio(const QColor& foreground, const QColor& background)
{
    const QColor opaqueBackground = mix(background, background, 0);
    const QColor drawn = mix(opaqueBackground, foreground, foreground.alphaF());
    const double lighter = std::max(luminance(drawn), luminance(opaqueBackground));
    const double darker = std::min(luminance(drawn), luminance(opaqueBackground));
    return (lighter + 0.05) / (darker + 0.05);
}

QColor legible(const QColor& text, const QColor& background, double fraction, double minimumRatio)
{
    const QColor opaqueText = mix(background, text, text.alphaF());
    for (double amount = fraction; amount < 1.0; amount += 0.05) {
        const QColor candidate = mix(background, opaqueText, amount);
        if (ratio(candidate, background) >= minimumRatio)
            return candidate;
    }
    return opaqueText;
}

} // namespace velmor::contrast
