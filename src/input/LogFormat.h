#pragma once

#include "platform/hid/Result.h"

#include <QString>

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

} // namespace velmor::logformat
