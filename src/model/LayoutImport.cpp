#include "model/LayoutImport.h"

#include "model/NormalizedRect.h"
#include "platform/Json.h"

namespace velmor {

QJsonObject LayoutImport::LayoutButton::toJson() const
{
    // The same four numbers as a rectangle, plus the button id.
    QJsonObject object = NormalizedRect{x, y, width, height}.toJson();
    object.insert("id", id);
    return object;
}

LayoutImport::LayoutButton LayoutImport::LayoutButton::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    return LayoutButton{reader.string("id"), reader.number("x"), reader.number("y"), reader.number("width"),
                        reader.number("height")};
}

QJsonObject LayoutImport::toJson() const
{
    return json::ObjectWriter().set("deviceId", deviceId).set("buttons", json::encodeList(buttons)).take();
}

LayoutImport LayoutImport::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    return LayoutImport{reader.string("deviceId"), reader.decodeList<LayoutButton>("buttons")};
}

} // namespace velmor
