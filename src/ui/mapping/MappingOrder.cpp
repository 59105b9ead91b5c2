#include "ui/mapping/MappingOrder.h"

#include <algorithm>

namespace velmor::mappingOrder {

namespace {

int sign(qsizetype value) { return value < 0 ? -1 : value > 0 ? 1 : 0; }

// The run of digits or of other characters that starts at `from`.
QStringView runAt(QStringView text, qsizetype from)
{
    const bool digits = text[from].isDigit();
    qsizetype end = from + 1;
    while (end < text.size() && text[end].isDigit() == digits)
        ++end;
    return text.mid(from, end - from);
}

// Digit runs by value: without leading zeros the longer is larger, else digit by digit.
int compareNumbers(QStringView a, QStringView b)
{
    auto trimmed = [](QStringView run) {
        qsizetype zeros = 0;
        while (zeros + 1 < run.size() && run[zeros] == QLatin1Char('0'))
            ++zeros;
        return run.mid(zeros);
    };
    const QStringView x = trimmed(a);
    const QStringView y = trimmed(b);
    if (x.size() != y.size())
        return sign(x.size() - y.size());
    return sign(x.compare(y));
}

} // namespace

int compareButtonIds(const QString& a, const QString& b)
{
    // Run by run: digits by value, other text ignoring case (in the locale's order).
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const QStringView x = runAt(a, i);
        const QStringView y = runAt(b, j);
        const bool xDigits = x.front().isDigit();
        const bool yDigits = y.front().isDigit();
        int order = 0;
        if (xDigits && yDigits)
            order = compareNumbers(x, y);
        else if (xDigits != yDigits)
            order = xDigits ? -1 : 1; // digits before letters, as file browsers sort
        else if (x != y) // the same letters (most ids share theirs) need no collation
            order = sign(QString::localeAwareCompare(x.toString().toCaseFolded(), y.toString().toCaseFolded()));
        if (order != 0)
            return order;
        i += x.size();
        j += y.size();
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    // Equal but for case or leading zeros: the plain text decides, last.
    return sign(QString::compare(a, b));
}

QList<MappingEntry> sorted(QList<MappingEntry> entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const MappingEntry& a, const MappingEntry& b) {
        return compareButtonIds(a.mapping.buttonId, b.mapping.buttonId) < 0;
    });
    return entries;
}

QList<MappingEntry> filtered(const QList<MappingEntry>& entries, const QString& filter)
{
    if (filter.isEmpty())
        return entries;
    QList<MappingEntry> kept;
    for (const MappingEntry& entry : entries)
        if (entry.tool.name.contains(filter, Qt::CaseInsensitive) ||
            entry.mapping.buttonId.contains(filter, Qt::CaseInsensitive))
            kept.append(entry);
    return kept;
}

QList<MappingEntry> visibleEntries(const QList<MappingEntry>& entries, const QString& filter)
{
    return sorted(filtered(entries, filter));
}

} // namespace velmor::mappingOrder
