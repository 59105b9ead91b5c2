#pragma once

#include "model/HexColor.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace velmor {

// A keypad backlight colour, as the keypad takes it, with the keypad's report.
struct RazerRGB {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    // The colour of a parsed "#RRGGBB" text.
    static constexpr RazerRGB from(const RgbBytes& rgb) { return {rgb.red, rgb.green, rgb.blue}; }

    bool operator==(const RazerRGB&) const = default;

    static constexpr qsizetype featureReportLength = 90;

    // The keypad's 90-byte "set static colour" feature report: a fixed command
    // header, the colour at bytes 14 to 16, and at byte 87 the XOR of bytes 3 to 86.
    QByteArray featureReport() const;
    // "#RRGGBB", upper-case.
    QString hex() const;
};

} // namespace velmor
