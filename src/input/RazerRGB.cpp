#include "input/RazerRGB.h"

namespace velmor {

namespace {
constexpr qsizetype checkByteIndex = 87;
} // namespace

QByteArray RazerRGB::featureReport() const
{
    QByteArray report(featureReportLength, '\0');
    auto* bytes = reinterpret_cast<std::uint8_t*>(report.data());
    bytes[1] = 0x3F; // transaction id
    bytes[5] = 0x09; // argument bytes that follow the command (8 to 16)
    bytes[6] = 0x0F; // command class: lighting
    bytes[7] = 0x02; // command id: effect
    bytes[8] = 0x01;
    bytes[9] = 0x05;
    bytes[10] = 0x01;
    bytes[13] = 0x01;
    bytes[14] = r;
    bytes[15] = g;
    bytes[16] = b;
    std::uint8_t check = 0;
    for (qsizetype i = 3; i < checkByteIndex; ++i)
        check ^= bytes[i];
    bytes[checkByteIndex] = check;
    return report;
}

QString RazerRGB::hex() const { return QString::asprintf("#%02X%02X%02X", r, g, b); }

} // namespace velmor
