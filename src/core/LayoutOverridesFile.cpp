#include "core/LayoutOverridesFile.h"

#include "platform/Json.h"

#include <QJsonObject>

namespace velmor {

QByteArray LayoutOverridesFile::encode(const LayoutOverrides& overrides)
{
    QJsonObject document;
    for (auto device = overrides.cbegin(); device != overrides.cend(); ++device) {
        QJsonObject buttons;
        for (auto button = device->cbegin(); button != device->cend(); ++button)
            buttons.insert(button.key(), button.value().toJson());
        document.insert(device.key(), buttons);
    }
    return json::encode(document);
}

LayoutOverrides LayoutOverridesFile::decode(const QByteArray& bytes)
{
    const QJsonObject document = json::toObject(json::parse(bytes), {});
    LayoutOverrides result;
    for (auto device = document.begin(); device != document.end(); ++device) {
        const QJsonObject buttons = json::toObject(device.value(), device.key());
        QHash<QString, NormalizedRect> rects;
        for (auto button = buttons.begin(); button != buttons.end(); ++button)
            rects.insert(button.key(), NormalizedRect::fromJson(button.value(), device.key() + '.' + button.key()));
        result.insert(device.key(), rects);
    }
    return result;
}

} // namespace velmor
