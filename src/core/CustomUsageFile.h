#pragma once

#include "input/CustomUsageMap.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace velmor {

// The document of "custom_usages.json":
//   {"<vendor>-<product>": {"<usage key, %04X>": "<name>", …}, …}
// with decimal vendor and product ids. Reading skips malformed keys one by one
// and keeps the rest.
struct CustomUsageFile {
    // The key of a usage, cut to 32 bits; none when page or usage lies outside
    // the unsigned 32-bit range.
    static std::optional<std::uint32_t> usageKey(std::int64_t usagePage, std::int64_t usage);

    // Upper-case hexadecimal, zero-padded to at least four digits.
    static QString usageKeyText(std::uint32_t key);
    // Hexadecimal digits with an optional leading sign, no prefix, at most 32 bits.
    static std::optional<std::uint32_t> parseUsageKey(const QString& text);

    static QString deviceKeyText(const VendorProduct& pair);
    // Two decimal numbers between "-" separators; empty pieces are dropped.
    static std::optional<VendorProduct> parseDeviceKey(const QString& text);

    // Compact JSON.
    static QByteArray encode(const CustomUsageMap& map);
    // Throws json::DecodeError unless the document is an object of objects of
    // strings; entries with malformed keys are skipped.
    static CustomUsageMap decode(const QByteArray& bytes);
};

} // namespace velmor
