#pragma once

// Report descriptors shaped like the devices Velmor meets, for the parser tests
// and for the virtual devices of the kernel tests. Header-only: the kernel test
// executable does not link the test support library.

#include <QByteArray>

#include <initializer_list>

namespace velmor::test::hid {

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    result.reserve(qsizetype(values.size()));
    for (const int value : values)
        result.append(char(value));
    return result;
}

// The boot keyboard: 8 modifier bits, a reserved byte, 6 key slots; 5 LED bits out.
inline QByteArray bootKeyboardItems()
{
    return bytes({
        0x05, 0x07,       //   Usage Page (Keyboard)
        0x19, 0xE0,       //   Usage Minimum (Left Control)
        0x29, 0xE7,       //   Usage Maximum (Right GUI)
        0x15, 0x00,       //   Logical Minimum (0)
        0x25, 0x01,       //   Logical Maximum (1)
        0x75, 0x01,       //   Report Size (1)
        0x95, 0x08,       //   Report Count (8)
        0x81, 0x02,       //   Input (Data, Variable, Absolute)
        0x95, 0x01,       //   Report Count (1)
        0x75, 0x08,       //   Report Size (8)
        0x81, 0x01,       //   Input (Constant)
        0x95, 0x05,       //   Report Count (5)
        0x75, 0x01,       //   Report Size (1)
        0x05, 0x08,       //   Usage Page (LEDs)
        0x19, 0x01,       //   Usage Minimum (1)
        0x29, 0x05,       //   Usage Maximum (5)
        0x91, 0x02,       //   Output (Data, Variable, Absolute)
        0x95, 0x01,       //   Report Count (1)
        0x75, 0x03,       //   Report Size (3)
        0x91, 0x01,       //   Output (Constant)
        0x95, 0x06,       //   Report Count (6)
        0x75, 0x08,       //   Report Size (8)
        0x15, 0x00,       //   Logical Minimum (0)
        0x26, 0xFF, 0x00, //   Logical Maximum (255)
        0x05, 0x07,       //   Usage Page (Keyboard)
        0x19, 0x00,       //   Usage Minimum (0)
        0x2A, 0xFF, 0x00, //   Usage Maximum (255)
        0x81, 0x00,       //   Input (Data, Array)
    });
}

inline QByteArray bootKeyboard()
{
    return bytes({0x05, 0x01, 0x09, 0x06, 0xA1, 0x01}) // Generic Desktop, Keyboard, Collection (Application)
        + bootKeyboardItems() + bytes({0xC0});
}

// A keypad's keyboard interface: the boot keyboard plus a vendor-defined
// 90-byte feature report (the lighting report), no report ids.
inline QByteArray keypad()
{
    return bootKeyboard()
        + bytes({
            0x06, 0x00, 0xFF,       // Usage Page (Vendor 0xFF00)
            0x09, 0x02,             // Usage (2)
            0xA1, 0x01,             // Collection (Application)
            0x09, 0x02,             //   Usage (2)
            0x15, 0x00,             //   Logical Minimum (0)
            0x26, 0xFF, 0x00,       //   Logical Maximum (255)
            0x75, 0x08,             //   Report Size (8)
            0x96, 0x5A, 0x00,       //   Report Count (90)
            0xB1, 0x02,             //   Feature (Data, Variable, Absolute)
            0xC0,                   // End Collection
        });
}

// A consumer-control interface: report id 2, one 16-bit slot selecting 0...0x3FF.
inline QByteArray consumerControl()
{
    return bytes({
        0x05, 0x0C,       // Usage Page (Consumer)
        0x09, 0x01,       // Usage (Consumer Control)
        0xA1, 0x01,       // Collection (Application)
        0x85, 0x02,       //   Report ID (2)
        0x15, 0x00,       //   Logical Minimum (0)
        0x26, 0xFF, 0x03, //   Logical Maximum (0x3FF)
        0x19, 0x00,       //   Usage Minimum (0)
        0x2A, 0xFF, 0x03, //   Usage Maximum (0x3FF)
        0x75, 0x10,       //   Report Size (16)
        0x95, 0x01,       //   Report Count (1)
        0x81, 0x00,       //   Input (Data, Array)
        0xC0,             // End Collection
    });
}

// A five-button mouse with relative X, Y and wheel.
inline QByteArray wheelMouse()
{
    return bytes({
        0x05, 0x01, // Usage Page (Generic Desktop)
        0x09, 0x02, // Usage (Mouse)
        0xA1, 0x01, // Collection (Application)
        0x09, 0x01, //   Usage (Pointer)
        0xA1, 0x00, //   Collection (Physical)
        0x05, 0x09, //     Usage Page (Button)
        0x19, 0x01, //     Usage Minimum (1)
        0x29, 0x05, //     Usage Maximum (5)
        0x15, 0x00, //     Logical Minimum (0)
        0x25, 0x01, //     Logical Maximum (1)
        0x95, 0x05, //     Report Count (5)
        0x75, 0x01, //     Report Size (1)
        0x81, 0x02, //     Input (Data, Variable, Absolute)
        0x95, 0x01, //     Report Count (1)
        0x75, 0x03, //     Report Size (3)
        0x81, 0x01, //     Input (Constant)
        0x05, 0x01, //     Usage Page (Generic Desktop)
        0x09, 0x30, //     Usage (X)
        0x09, 0x31, //     Usage (Y)
        0x09, 0x38, //     Usage (Wheel)
        0x15, 0x81, //     Logical Minimum (-127)
        0x25, 0x7F, //     Logical Maximum (127)
        0x75, 0x08, //     Report Size (8)
        0x95, 0x03, //     Report Count (3)
        0x81, 0x06, //     Input (Data, Variable, Relative)
        0xC0,       //   End Collection
        0xC0,       // End Collection
    });
}

// A dictation-microphone-like vendor interface with report ids: report 1 holds
// a 64-bit button status word (one usage over eight bytes), report 2 a 90-byte
// feature report.
inline QByteArray dictationVendor()
{
    return bytes({
        0x06, 0xA1, 0xFF,       // Usage Page (Vendor 0xFFA1)
        0x09, 0x01,             // Usage (1)
        0xA1, 0x01,             // Collection (Application)
        0x85, 0x01,             //   Report ID (1)
        0x09, 0x03,             //   Usage (3)
        0x15, 0x00,             //   Logical Minimum (0)
        0x26, 0xFF, 0x00,       //   Logical Maximum (255)
        0x75, 0x08,             //   Report Size (8)
        0x95, 0x08,             //   Report Count (8)
        0x81, 0x02,             //   Input (Data, Variable, Absolute)
        0x85, 0x02,             //   Report ID (2)
        0x09, 0x04,             //   Usage (4)
        0x95, 0x5A,             //   Report Count (90)
        0xB1, 0x02,             //   Feature (Data, Variable, Absolute)
        0xC0,                   // End Collection
    });
}

// A dictation microphone: the vendor interface above, plus its two triggers as
// mouse buttons in report 3 (which gives it an evdev node).
inline QByteArray dictationMicrophone()
{
    return dictationVendor()
        + bytes({
            0x05, 0x01, // Usage Page (Generic Desktop)
            0x09, 0x02, // Usage (Mouse)
            0xA1, 0x01, // Collection (Application)
            0x85, 0x03, //   Report ID (3)
            0x09, 0x01, //   Usage (Pointer)
            0xA1, 0x00, //   Collection (Physical)
            0x05, 0x09, //     Usage Page (Button)
            0x19, 0x01, //     Usage Minimum (1)
            0x29, 0x02, //     Usage Maximum (2)
            0x15, 0x00, //     Logical Minimum (0)
            0x25, 0x01, //     Logical Maximum (1)
            0x95, 0x02, //     Report Count (2)
            0x75, 0x01, //     Report Size (1)
            0x81, 0x02, //     Input (Data, Variable, Absolute)
            0x95, 0x01, //     Report Count (1)
            0x75, 0x06, //     Report Size (6)
            0x81, 0x01, //     Input (Constant)
            0xC0,       //   End Collection
            0xC0,       // End Collection
        });
}

} // namespace velmor::test::hid
