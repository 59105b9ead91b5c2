#pragma once

#include "platform/hid/ReportElement.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <stdexcept>
#include <utility>

namespace velmor::hid {

// A report descriptor that cannot be parsed; offset() is where parsing stopped.
class ReportDescriptorError : public std::runtime_error {
public:
    ReportDescriptorError(const QString& message, qsizetype offset);
    qsizetype offset() const { return m_offset; }

private:
    qsizetype m_offset;
};

// A parsed HID report descriptor: the elements of every report, the size of the
// reports and the usage of the first top-level application collection.
//
// Usages of one or two bytes take the usage page in effect at their main item
// (unless a later usage of the same item already stood under that page; then
// they keep the page where they stand); four-byte usages carry their own page.
// Constant fields are padding: they take their bits but make no elements.
// Elements with usage 0 are not made for arrays ("no usage" is what an empty
// slot selects). Main items of unknown tags are skipped, as the kernel skips
// them (a stray trailing 0x00 is common); warning() tells of them.
// Report ids are decided for each kind of report apart, as the kernel decides:
// input reports without ids may sit beside feature reports with ids.
class ReportDescriptor {
public:
    ReportDescriptor() = default;

    // Throws ReportDescriptorError when the bytes are empty, truncated or
    // inconsistent (unbalanced collections or push/pop, report id 0 or above
    // 255, unknown global items, reports, usage lists or elements beyond
    // bounds).
    static ReportDescriptor parse(const QByteArray& bytes);

    const QByteArray& bytes() const { return m_bytes; }
    const QList<ReportElement>& elements() const { return m_elements; }
    const ReportElement* element(quint32 cookie) const;

    // Reports of this kind start with their id byte.
    bool usesReportIds(ReportElement::Kind kind) const { return (m_numberedKinds & kindBit(kind)) != 0; }
    // Some kind of report uses ids.
    bool usesReportIds() const { return m_numberedKinds != 0; }
    // Bytes of one report as read or written through the device, id byte
    // included when its kind uses ids; 0 when the descriptor has no such report.
    int reportSize(ReportElement::Kind kind, quint8 reportId) const;
    int maxInputReportSize() const { return maxReportSize(ReportElement::Kind::Input); }
    int maxOutputReportSize() const { return maxReportSize(ReportElement::Kind::Output); }
    int maxFeatureReportSize() const { return maxReportSize(ReportElement::Kind::Feature); }

    // What parsing passed over (unknown main items), where the first one stood
    // and how many; empty when nothing was skipped.
    const QString& warning() const { return m_warning; }

    // Usage of the first top-level application collection; 0 when there is none.
    quint32 primaryUsagePage() const { return m_primaryUsagePage; }
    quint32 primaryUsage() const { return m_primaryUsage; }

    // Largest report the parser accepts, in bytes (the kernel's own bound).
    static constexpr int maxReportBytes = 16384;
    // Most usages one main item may list (the kernel's bound): a longer usage
    // range is cut there, as the kernel does; a single usage beyond it is refused.
    static constexpr int maxUsages = 12288;
    // Most elements in all, which bounds a descriptor's memory.
    static constexpr int maxElements = 65536;

private:
    friend class ReportDescriptorParser;
    int maxReportSize(ReportElement::Kind kind) const;
    static quint8 kindBit(ReportElement::Kind kind) { return quint8(1u << unsigned(kind)); }

    QByteArray m_bytes;
    QList<ReportElement> m_elements;
    QMap<std::pair<ReportElement::Kind, quint8>, quint64> m_reportBits;
    quint8 m_numberedKinds = 0; // kindBit() of each kind that uses ids
    QString m_warning;
    quint32 m_primaryUsagePage = 0;
    quint32 m_primaryUsage = 0;
};

} // namespace velmor::hid
