#pragma once

#include <QtGlobal>

namespace velmor::hid {

// One element of a HID report as the value path sees it: a field of its own
// (variable), one slot of an array, or one usage an array can select. Elements
// are numbered by their cookie in descriptor order, starting at 1.
struct ReportElement {
    enum class Kind : quint8 { Input, Output, Feature };
    enum class Role : quint8 {
        Variable,   // its value is its own bits
        ArraySlot,  // its value is what the slot holds: the selector of a usage, or 0
        ArrayUsage, // 1 while some slot of its array selects it, else 0
    };
    // The usage of every array slot: slots stand for no usage of their own.
    static constexpr quint32 arraySlotUsage = 0xFFFFFFFF;

    // Data bits of the main item.
    static constexpr quint32 constantFlag = 0x01;
    static constexpr quint32 variableFlag = 0x02;
    static constexpr quint32 relativeFlag = 0x04;

    quint32 cookie = 0;
    Kind kind = Kind::Input;
    Role role = Role::Variable;
    quint32 usagePage = 0;
    quint32 usage = 0;
    quint8 reportId = 0; // 0 when its kind of report uses no ids
    // Bit position in the report as read from the device, its id byte included.
    // For an ArrayUsage element: the position of its array's first slot.
    quint32 bitOffset = 0;
    quint32 reportSize = 0; // bits per field
    // Fields covered: 1 for a slot; more for a variable whose usage repeats over
    // the remaining fields (one value over all of them, lowest field first);
    // the array's slot count for an ArrayUsage element.
    quint32 reportCount = 1;
    qint64 logicalMinimum = 0;
    qint64 logicalMaximum = 0;
    qint64 selector = 0;     // ArrayUsage: the slot value that selects this usage
    quint32 flags = 0;       // the main item's data bits
    quint32 mainItem = 0;    // index of the main item it comes from; shared by an array's elements

    bool isArray() const { return role != Role::Variable; }
    bool isRelative() const { return (flags & relativeFlag) != 0; }
    // Bits of the element's own value (the whole array for ArrayUsage).
    quint64 bitLength() const { return quint64(reportSize) * reportCount; }

    bool operator==(const ReportElement&) const = default;
};

} // namespace velmor::hid
