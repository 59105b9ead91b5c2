#include "input/KeyboardReport.h"

#include "input/TartarusTables.h"

#include <QStringList>

#include <algorithm>
#include <optional>
#include <span>

namespace velmor {

namespace {

std::optional<double> numberValue(const QVariant& value)
{
    return hid::holdsNumber(value) ? std::optional<double>(value.toDouble()) : std::nullopt;
}

// Upper-case hexadecimal, zero-padded to `width` digits ("%0*X").
QString hex(std::uint32_t value, int width)
{
    return QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

// The largest report buffer the reader allocates, whatever the device claims.
constexpr qsizetype maxReportBufferLength = 65536;

} // namespace

QSet<std::uint32_t> modifierUsages(std::uint8_t byte)
{
    QSet<std::uint32_t> usages;
    for (std::uint32_t bit = 0; bit < 8; ++bit)
        if (byte & (1u << bit))
            usages.insert(0xE0 + bit);
    return usages;
}

QSet<std::uint32_t> bootReportUsages(const QByteArray& report, qsizetype modifierIndex, qsizetype keyStart)
{
    if (modifierIndex < 0 || modifierIndex >= report.size() || keyStart >= report.size())
        return {};
    QSet<std::uint32_t> usages = modifierUsages(static_cast<std::uint8_t>(report[modifierIndex]));
    for (qsizetype i = std::max<qsizetype>(keyStart, 0); i < report.size(); ++i) {
        const auto code = static_cast<std::uint8_t>(report[i]);
        if (code >= 4)
            usages.insert(code);
    }
    return usages;
}

QSet<std::uint32_t> bitmapReportUsages(const QByteArray& report, qsizetype start)
{
    if (start < 0 || start >= report.size())
        return {};
    QSet<std::uint32_t> usages;
    for (qsizetype i = start; i < report.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(report[i]);
        for (std::uint32_t bit = 0; bit < 8; ++bit)
            if (byte & (1u << bit))
                usages.insert(static_cast<std::uint32_t>(i - start) * 8 + bit);
    }
    return usages;
}

int keyboardReportScore(const QSet<std::uint32_t>& usages)
{
    int score = 0;
    for (const std::uint32_t usage : usages) {
        if (tartarusUsageMap().contains(usage | 0x70000))
            score += 10;
        if (usage >= 4 && usage <= 231)
            score += 1;
    }
    return score;
}

QSet<std::uint32_t> decodeKeyboardReport(const QByteArray& report)
{
    const QSet<std::uint32_t> candidates[] = {
        bootReportUsages(report, 0, 2),
        bootReportUsages(report, 1, 3),
        bitmapReportUsages(report, 1),
        bitmapReportUsages(report, 2),
    };
    const QSet<std::uint32_t>* best = &candidates[0];
    int bestScore = keyboardReportScore(*best);
    for (const auto& candidate : std::span(candidates).subspan(1)) {
        const int score = keyboardReportScore(candidate);
        if (score > bestScore) {
            best = &candidate;
            bestScore = score;
        }
    }
    return *best;
}

QString keyboardReportLogLine(std::uint32_t reportId, const QByteArray& report, const QSet<std::uint32_t>& usages)
{
    QStringList bytes;
    for (const char byte : report.first(std::min<qsizetype>(report.size(), 16)))
        bytes << hex(static_cast<std::uint8_t>(byte), 2);
    QList<std::uint32_t> sorted(usages.begin(), usages.end());
    std::sort(sorted.begin(), sorted.end());
    QStringList usageTexts;
    for (const std::uint32_t usage : sorted)
        usageTexts << QStringLiteral("0x") + hex(usage, 4);
    return QStringLiteral("Tartarus Pro keyboard report id %1 len %2 bytes [%3] usages [%4]")
        .arg(reportId)
        .arg(report.size())
        .arg(bytes.join(QLatin1Char(' ')), usageTexts.join(QStringLiteral(", ")));
}

bool isKeyboardInterface(const QVariant& primaryUsagePage, const QVariant& primaryUsage)
{
    return numberValue(primaryUsagePage) == 1.0 && numberValue(primaryUsage) == 6.0;
}

bool isKeyboardInterface(const hid::Device& device)
{
    return isKeyboardInterface(device.property(hid::property::primaryUsagePage),
                               device.property(hid::property::primaryUsage));
}

qsizetype keyboardReportBufferLength(const QVariant& maxInputReportSize)
{
    const double size = numberValue(maxInputReportSize).value_or(0);
    if (!(size > 64))
        return 64;
    // A device's claim never makes us allocate without bound; reports longer
    // than the buffer are only cut short in the log.
    return static_cast<qsizetype>(std::min<double>(size, maxReportBufferLength));
}

} // namespace velmor
