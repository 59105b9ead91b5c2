#include "core/CustomUsageFile.h"

#include "platform/Json.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <limits>

namespace velmor {

namespace {
constexpr std::uint64_t maxKey = std::numeric_limits<std::uint32_t>::max();

bool inKeyRange(std::int64_t value) { return value >= 0 && static_cast<std::uint64_t>(value) <= maxKey; }

// A decimal whole number with an optional sign, nothing else.
std::optional<std::int64_t> parseDecimal(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    // toLongLong also accepts surrounding white space; the file's keys may not have any.
    if (!ok || text.trimmed() != text)
        return std::nullopt;
    return value;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}
} // namespace

std::optional<std::uint32_t> CustomUsageFile::usageKey(std::int64_t usagePage, std::int64_t usage)
{
    if (!inKeyRange(usagePage) || !inKeyRange(usage))
        return std::nullopt;
    // The page's high bits fall off the 32-bit key.
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(usagePage) << 16) | static_cast<std::uint64_t>(usage));
}

QString CustomUsageFile::usageKeyText(std::uint32_t key)
{
    return QString::number(key, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

std::optional<std::uint32_t> CustomUsageFile::parseUsageKey(const QString& text)
{
    qsizetype start = 0;
    bool negative = false;
    if (!text.isEmpty() && (text.front() == QLatin1Char('+') || text.front() == QLatin1Char('-'))) {
        negative = text.front() == QLatin1Char('-');
        start = 1;
    }
    if (start == text.size())
        return std::nullopt;
    std::uint64_t value = 0;
    for (qsizetype i = start; i < text.size(); ++i) {
        const int digit = hexDigit(text.at(i));
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > maxKey)
            return std::nullopt;
    }
    // "-0" is zero; any other negative number is outside the unsigned range.
    if (negative && value != 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

QString CustomUsageFile::deviceKeyText(const VendorProduct& pair)
{
    return QString::number(pair.vendor) + QLatin1Char('-') + QString::number(pair.product);
}

std::optional<VendorProduct> CustomUsageFile::parseDeviceKey(const QString& text)
{
    const QStringList pieces = text.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    if (pieces.size() != 2)
        return std::nullopt;
    const auto vendor = parseDecimal(pieces.at(0));
    const auto product = parseDecimal(pieces.at(1));
    if (!vendor || !product)
        return std::nullopt;
    return VendorProduct{*vendor, *product};
}

QByteArray CustomUsageFile::encode(const CustomUsageMap& map)
{
    QJsonObject document;
    for (auto device = map.cbegin(); device != map.cend(); ++device) {
        QJsonObject names;
        for (auto entry = device->cbegin(); entry != device->cend(); ++entry)
            names.insert(usageKeyText(entry.key()), entry.value());
        document.insert(deviceKeyText(device.key()), names);
    }
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

CustomUsageMap CustomUsageFile::decode(const QByteArray& bytes)
{
    const QJsonObject document = json::toObject(json::parse(bytes), {});
    CustomUsageMap result;
    for (auto device = document.begin(); device != document.end(); ++device) {
        const QString devicePath = device.key();
        const QJsonObject names = json::toObject(device.value(), devicePath);
        // The whole document must have the right shape before any key is judged.
        QHash<std::uint32_t, QString> usages;
        for (auto entry = names.begin(); entry != names.end(); ++entry) {
            const QString name = json::toString(entry.value(), devicePath + '.' + entry.key());
            if (entry.key().isEmpty())
                continue;
            if (const auto key = parseUsageKey(entry.key()))
                usages.insert(*key, name);
        }
        if (const auto pair = parseDeviceKey(device.key()))
            result.insert(*pair, usages);
    }
    return result;
}

} // namespace velmor
