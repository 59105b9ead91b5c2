#pragma once

#include "model/HexColor.h"

#include <QByteArray>
#include <QString>

namespace velmor {

// A keypad backlight colour, as the keypad takes it: the colour of a "#RRGGBB"
// text (RazerRGB{rgb}) with the keypad's report.
struct RazerRGB : RgbBytes {
    bool operator==(const RazerRGB&) const = default;

    static constexpr qsizetype featureReportLength = 90;

    // The keypad's 90-byte "set static colour" feature report: a fixed command
    // header, the colour at bytes 14 to 16, and at byte 87 the XOR of bytes 3 to 86.
    QByteArray featureReport() const;
    // "#RRGGBB", upper-case.
    QString hex() const;
};

} // namespace velmor
