#include "model/DeviceButton.h"

#include "platform/Json.h"

#include <QHashFunctions>
#include <QJsonArray>

namespace velmor {

QJsonObject DeviceButton::toJson() const
{
    json::ObjectWriter writer;
    writer.set("id", id).set("displayLabel", displayLabel).set("kind", velmor::toJson(kind));
    if (overlayFrame)
        writer.set("overlayFrame", overlayFrame->toJson());
    writer.set("aliases", QJsonArray::fromStringList(aliases));
    return writer.take();
}

DeviceButton DeviceButton::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    DeviceButton button;
    button.id = reader.string("id");
    button.displayLabel = reader.string("displayLabel");
    button.kind = deviceButtonKindFromJson(reader.required("kind"), reader.pathOf("kind"));
    button.overlayFrame = reader.decodeOptional<NormalizedRect>("overlayFrame");
    const QJsonArray aliases = reader.array("aliases");
    for (qsizetype i = 0; i < aliases.size(); ++i)
        button.aliases.append(json::toString(aliases.at(i), reader.pathOf("aliases") + '[' + QString::number(i) + ']'));
    return button;
}

size_t qHash(const DeviceButton& button, size_t seed) noexcept
{
    seed = qHashMulti(seed, button.id, button.displayLabel, button.kind);
    seed = button.overlayFrame ? qHashMulti(seed, 1, *button.overlayFrame) : qHashMulti(seed, 0);
    return qHashMulti(seed, button.aliases.size(), button.aliases);
}

} // namespace velmor
