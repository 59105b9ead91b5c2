#pragma once

#include <QColor>
#include <QString>

#include <cstdint>
#include <optional>

namespace velmor {

// Lighting colours travel as "#RRGGBB" text.
struct RgbBytes {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const RgbBytes&) const = default;
};

// "#%02X%02X%02X" of the colour's RGB components, each truncated after scaling
// by 255; none when the colour has no RGB form.
std::optional<QString> hexString(const QColor& color);

// Exactly six hexadecimal digits after an optional "#", surrounding white space ignored.
std::optional<RgbBytes> parseHexColor(const std::optional<QString>& text);

// The colour of `hex`, else of `fallbackHex`, else white.
QColor colorFromHex(const std::optional<QString>& hex, const std::optional<QString>& fallbackHex);

} // namespace velmor
