#include "store/UserProfileExport.h"

#include "platform/Json.h"

namespace velmor {

QJsonObject UserProfileExport::toJson() const
{
    json::ObjectWriter writer;
    writer.set("profile", profile.toJson()).setOptional("pacsProfileName", pacsProfileName);
    if (pacsTools)
        writer.set("pacsTools", json::encodeList(*pacsTools));
    return writer.take();
}

UserProfileExport UserProfileExport::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    UserProfileExport file;
    file.profile = reader.decode<UserProfile>("profile");
    file.pacsProfileName = reader.optionalString("pacsProfileName");
    if (const auto tools = reader.optional("pacsTools"))
        file.pacsTools = json::ObjectReader::decodeArray<RadiologyTool>(*tools, reader.pathOf("pacsTools"));
    return file;
}

} // namespace velmor
