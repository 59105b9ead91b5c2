#pragma once

#include "platform/hid/Result.h"

#include <QString>

#include <QLatin1String>

#include <charconv>
#include <cstdint>

// How input-side log lines print numbers.
namespace velmor::logformat {

// A vendor or product id: "0x" and at least four upper-case hexadecimal digits.
inline QString id(std::int64_t value)
{
    return QStringLiteral("0x") + QString::asprintf("%04X", static_cast<unsigned>(value));
}

// A platform result code: "0x" and eight upper-case hexadecimal digits.
inline QString result(hid::Result result) { return QStringLiteral("0x") + result.hex(); }

// Appends `value` in upper-case hexadecimal with at least `digits` digits, as
// "%0*X" prints it, without a formatted temporary.
inline void appendHex(QString& line, std::uint64_t value, int digits = 4)
{
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, value, 16).ptr;
    for (auto length = end - text; length < digits; ++length)
        line += QLatin1Char('0');
    for (char* c = text; c != end; ++c)
        line += QLatin1Char(*c >= 'a' ? char(*c - 'a' + 'A') : *c);
}

// Appends `value` in decimal, as "%lld" prints it.
inline void appendDecimal(QString& line, std::int64_t value)
{
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    line += QLatin1String(text, end - text);
}

} // namespace velmor::logformat
