#include "platform/hid/ReportDecoder.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace velmor::hid {

namespace {

constexpr quint32 keyboardPage = 0x07;
// Keyboard usages 1 to 3 fill every slot when the keyboard cannot tell which
// keys are down (rollover, self-test failure, undefined error).
constexpr quint32 firstKeyboardError = 0x01;
constexpr quint32 lastKeyboardError = 0x03;

// Up to 64 bits from a bit position, least significant bit first.
quint64 bitsAt(const QByteArray& report, quint64 offset, quint64 count)
{
    quint64 value = 0;
    for (quint64 done = 0; done < count && done < 64;) {
        const quint64 bit = offset + done;
        const quint8 byte = quint8(report.at(qsizetype(bit / 8)));
        const unsigned shift = bit % 8;
        const quint64 take = std::min<quint64>({8 - shift, count - done, 64 - done});
        const quint64 bits = (byte >> shift) & ((1u << take) - 1);
        value |= bits << done;
        done += take;
    }
    return value;
}

qint64 fieldValue(const ReportElement& element, const QByteArray& report)
{
    const quint64 length = element.role == ReportElement::Role::Variable ? element.bitLength() : element.reportSize;
    const quint64 raw = bitsAt(report, element.bitOffset, length);
    if (element.logicalMinimum < 0 && length > 0 && length < 64 && (raw >> (length - 1)) & 1)
        return qint64(raw | (~quint64(0) << length));
    return qint64(raw);
}

} // namespace

ReportDecoder::ReportDecoder(ReportDescriptor descriptor)
    : m_descriptor(std::move(descriptor))
    , m_values(size_t(m_descriptor.elements().size()), 0)
{
    const QList<ReportElement>& elements = m_descriptor.elements();
    for (int index = 0; index < elements.size(); ++index) {
        const ReportElement& element = elements[index];
        if (element.kind != ReportElement::Kind::Input)
            continue;
        std::vector<Step>& steps = m_steps[element.reportId];
        if (element.role == ReportElement::Role::Variable) {
            steps.push_back(Step{index, -1});
            continue;
        }
        const bool sameArray = !steps.empty() && steps.back().array >= 0
            && elements[m_arrays[size_t(steps.back().array)].slotElements.front()].mainItem == element.mainItem;
        if (!sameArray) {
            steps.push_back(Step{-1, int(m_arrays.size())});
            m_arrays.push_back(Array{});
        }
        Array& array = m_arrays[size_t(steps.back().array)];
        if (element.role == ReportElement::Role::ArraySlot) {
            array.slotElements.push_back(index);
            array.filled.push_back(false);
            array.isKeyboard = element.usagePage == keyboardPage;
        } else {
            array.usageBySelector.insert(element.selector, index);
        }
    }
}

qint64 ReportDecoder::value(quint32 cookie) const
{
    if (cookie == 0 || cookie > m_values.size())
        return 0;
    return m_values[cookie - 1];
}

QList<ReportDecoder::Value> ReportDecoder::decode(const QByteArray& report)
{
    QList<Value> values;
    quint8 reportId = 0;
    if (m_descriptor.usesReportIds(ReportElement::Kind::Input)) {
        if (report.isEmpty())
            return values;
        reportId = quint8(report.at(0));
    }
    const auto steps = m_steps.constFind(reportId);
    if (steps == m_steps.constEnd())
        return values;
    for (const Step& step : *steps) {
        if (step.variable >= 0)
            decodeVariable(step.variable, report, values);
        else
            decodeArray(m_arrays[size_t(step.array)], report, values);
    }
    return values;
}

bool ReportDecoder::fits(const ReportElement& element, const QByteArray& report) const
{
    const quint64 length = element.role == ReportElement::Role::Variable ? element.bitLength() : element.reportSize;
    return quint64(element.bitOffset) + length <= quint64(report.size()) * 8;
}

void ReportDecoder::deliver(int index, qint64 value, QList<Value>& values)
{
    m_values[size_t(index)] = value;
    values.append(Value{m_descriptor.elements()[index], value});
}

void ReportDecoder::decodeVariable(int index, const QByteArray& report, QList<Value>& values)
{
    const ReportElement& element = m_descriptor.elements()[index];
    if (!fits(element, report))
        return;
    const qint64 value = fieldValue(element, report);
    if (value != m_values[size_t(index)] || (element.isRelative() && value != 0))
        deliver(index, value, values);
}

void ReportDecoder::decodeArray(Array& array, const QByteArray& report, QList<Value>& values)
{
    const QList<ReportElement>& elements = m_descriptor.elements();
    // Empty for a slot no report has held: its kept 0 is no selector.
    std::vector<std::optional<qint64>> slotValues;
    slotValues.reserve(array.slotElements.size());
    for (size_t i = 0; i < array.slotElements.size(); ++i) {
        const int slot = array.slotElements[i];
        const ReportElement& element = elements[slot];
        if (fits(element, report))
            slotValues.emplace_back(fieldValue(element, report));
        else if (array.filled[i])
            slotValues.emplace_back(m_values[size_t(slot)]);
        else
            slotValues.emplace_back();
    }
    if (array.isKeyboard) {
        for (const std::optional<qint64>& selector : slotValues) {
            if (!selector)
                continue;
            const auto usage = array.usageBySelector.constFind(*selector);
            if (usage != array.usageBySelector.constEnd() && elements[*usage].usagePage == keyboardPage
                && elements[*usage].usage >= firstKeyboardError && elements[*usage].usage <= lastKeyboardError)
                return;
        }
    }

    std::vector<int> selected;
    for (size_t i = 0; i < array.slotElements.size(); ++i) {
        if (!slotValues[i])
            continue;
        array.filled[i] = true;
        if (*slotValues[i] != m_values[size_t(array.slotElements[i])])
            deliver(array.slotElements[i], *slotValues[i], values);
        const auto usage = array.usageBySelector.constFind(*slotValues[i]);
        if (usage != array.usageBySelector.constEnd())
            selected.push_back(*usage);
    }
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());

    // Usages leaving and entering the array, together in element order.
    std::vector<int> changed;
    std::set_symmetric_difference(array.selected.begin(), array.selected.end(), selected.begin(), selected.end(),
                                  std::back_inserter(changed));
    for (const int usage : changed)
        deliver(usage, std::binary_search(selected.begin(), selected.end(), usage) ? 1 : 0, values);
    array.selected = std::move(selected);
}

} // namespace velmor::hid
