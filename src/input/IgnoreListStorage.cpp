#include "input/IgnoreListStorage.h"

#include "platform/Json.h"
#include "platform/Settings.h"

namespace velmor {

const QString IgnoreListStorage::settingsKey = QStringLiteral("Velmor.disabledHIDDevices");

std::optional<QSet<VendorProduct>> IgnoreListStorage::load()
{
    const QVariant stored = Settings::instance().value(settingsKey);
    if (!stored.isValid() || !stored.canConvert<QByteArray>())
        return std::nullopt;
    return decode(stored.toByteArray());
}

void IgnoreListStorage::save(const QList<VendorProduct>& pairs)
{
    Settings::instance().setValue(settingsKey, encode(pairs));
}

QByteArray IgnoreListStorage::encode(const QList<VendorProduct>& pairs)
{
    // Written by hand because a JSON object of Qt's sorts its keys, and the
    // stored form names "vendor" first.
    QByteArray data("[");
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        if (i > 0)
            data += ',';
        data += "{\"vendor\":" + QByteArray::number(pairs[i].vendor) + ",\"product\":"
            + QByteArray::number(pairs[i].product) + '}';
    }
    data += ']';
    return data;
}

std::optional<QSet<VendorProduct>> IgnoreListStorage::decode(const QByteArray& data)
{
    try {
        const QList<VendorProduct> pairs =
            json::ObjectReader::decodeArray<VendorProduct>(json::parse(data), QStringLiteral("ignoreList"));
        return QSet<VendorProduct>(pairs.begin(), pairs.end());
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
}

} // namespace velmor
