#pragma once

#include <cstdint>

namespace velmor::hid {

// What an element of a device's report descriptor carries.
enum class ElementType : std::uint32_t {
    inputMisc = 1,
    inputButton = 2,
    inputAxis = 3,
    inputScanCodes = 4,
    output = 129,
    feature = 257,
    collection = 513,
};

// One element of a device: a control or data field of its reports. The cookie
// tells the elements of one device apart; an array element is one slot of a
// list of currently active usages (a keyboard's key array), whose value is a
// usage rather than a state.
struct Element {
    std::uint32_t cookie = 0;
    ElementType type = ElementType::inputMisc;
    std::uint32_t usagePage = 0;
    std::uint32_t usage = 0;
    bool isArray = false;

    bool operator==(const Element&) const = default;
};

} // namespace velmor::hid
