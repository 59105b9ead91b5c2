#pragma once

#include "platform/hid/ReportDescriptor.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <vector>

namespace velmor::hid {

// Turns input reports into element values, keeping each input element's last
// value (all start at 0):
// - a value is delivered when it changes; a relative element also delivers
//   every non-zero value, so each wheel detent counts;
// - an array delivers its slotElements' values, then 1 for each usage that some slot
//   newly selects and 0 for each usage no slot selects any more;
// - a keyboard array whose slotElements report an error state (rollover) keeps its
//   previous state, as the state of its keys is unknown;
// - values are sign-extended to 64 bits when the logical minimum is negative;
//   elements wider than 64 bits deliver their lowest 64 bits;
// - fields the report is too short to hold keep their value; an array slot
//   that no report has held yet selects nothing.
// Values of one report come in element (cookie) order.
class ReportDecoder {
public:
    struct Value {
        ReportElement element;
        qint64 value = 0;

        bool operator==(const Value&) const = default;
    };

    explicit ReportDecoder(ReportDescriptor descriptor);

    const ReportDescriptor& descriptor() const { return m_descriptor; }

    // One input report as read from the device: its id byte first when the
    // descriptor's input reports use ids. Reports of unknown ids yield nothing.
    QList<Value> decode(const QByteArray& report);

    // The last value of an element (0 before any report, or for no such element).
    qint64 value(quint32 cookie) const;

private:
    struct Array {
        std::vector<int> slotElements;      // element indexes
        std::vector<bool> filled;           // by slot: some report has held it
        QHash<qint64, int> usageBySelector; // slot value -> ArrayUsage element index
        std::vector<int> selected;          // ArrayUsage element indexes now at 1, ascending
        bool isKeyboard = false;
    };
    // One main item's part of a report: a variable element or a whole array.
    struct Step {
        int variable = -1; // element index, or -1 for an array
        int array = -1;    // index in m_arrays
    };

    void decodeVariable(int index, const QByteArray& report, QList<Value>& values);
    void decodeArray(Array& array, const QByteArray& report, QList<Value>& values);
    bool fits(const ReportElement& element, const QByteArray& report) const;
    void deliver(int index, qint64 value, QList<Value>& values);

    ReportDescriptor m_descriptor;
    std::vector<qint64> m_values; // by element index
    std::vector<Array> m_arrays;
    QHash<quint8, std::vector<Step>> m_steps; // by report id
};

} // namespace velmor::hid
