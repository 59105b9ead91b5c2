#include "model/HexColor.h"

#include <algorithm>
#include <cmath>

namespace velmor {

namespace {
int componentByte(float fraction)
{
    if (!std::isfinite(fraction))
        return 0;
    return static_cast<int>(std::clamp(fraction, 0.0f, 1.0f) * 255.0f);
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}
} // namespace

std::optional<QString> hexString(const QColor& color)
{
    if (!color.isValid())
        return std::nullopt;
    const QColor rgb = color.toRgb();
    return QString::asprintf("#%02X%02X%02X", componentByte(rgb.redF()), componentByte(rgb.greenF()),
                             componentByte(rgb.blueF()));
}

std::optional<RgbBytes> parseHexColor(const std::optional<QString>& text)
{
    if (!text)
        return std::nullopt;
    QString digits = text->trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    if (digits.startsWith('#'))
        digits.remove(0, 1);
    if (digits.size() != 6)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const QChar c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(d);
    }
    return RgbBytes{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                    static_cast<std::uint8_t>(value)};
}

QColor colorFromHex(const std::optional<QString>& hex, const std::optional<QString>& fallbackHex)
{
    auto bytes = parseHexColor(hex);
    if (!bytes)
        bytes = parseHexColor(fallbackHex);
    if (!bytes)
        return QColor(Qt::white);
    return QColor(bytes->red, bytes->green, bytes->blue);
}

} // namespace velmor
