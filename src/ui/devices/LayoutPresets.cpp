#include "ui/devices/LayoutPresets.h"

#include "ui/shared/ButtonFrames.h"

#include <cmath>

namespace velmor {

const QList<LayoutSizePreset>& LayoutSizePreset::builtIn()
{
    static const QList<LayoutSizePreset> presets{
        {QStringLiteral("Small Button"), 0.05, 0.05},        {QStringLiteral("Scroll Wheel"), 0.05, 0.1},
        {QStringLiteral("Small-Wide Button"), 0.1, 0.05},    {QStringLiteral("Medium Button"), 0.1, 0.1},
        {QStringLiteral("Medium-Long Button"), 0.1, 0.222},  {QStringLiteral("Large Button"), 0.15, 0.1},
        {QStringLiteral("Wide Button"), 0.15, 0.05},         {QStringLiteral("Tall Button"), 0.05, 0.15},
        {QStringLiteral("Large Square"), 0.15, 0.15},
    };
    return presets;
}

QString LayoutSizePreset::sizeText() const { return QString::asprintf("%.3f x %.3f", width, height); }

bool LayoutSizePreset::matches(double buttonWidth, double buttonHeight) const
{
    return std::abs(buttonWidth - width) < 0.001 && std::abs(buttonHeight - height) < 0.001;
}

QSizeF presetPreviewSize(const LayoutSizePreset& preset, const QSizeF& space)
{
    const double ratio = layoutRatio(preset.width, preset.height);
    const double w = space.width();
    const double h = space.height();
    if (ratio >= 1) {
        if (w / ratio > h)
            return {ratio * h, h};
        return {w, w / ratio};
    }
    if (ratio * h > w)
        return {w, w / ratio};
    return {ratio * h, h};
}

QString SizeFormatter::format(double value) const
{
    QString text = locale_.toString(value, 'f', 3);
    // At least two fraction digits, at most three: drop one trailing zero.
    if (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    return text;
}

std::optional<double> SizeFormatter::parse(const QString& text) const
{
    bool ok = false;
    const double value = locale_.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value) || value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

} // namespace velmor
