#pragma once

#include "model/RadiologyTool.h"
#include "model/UserProfile.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

namespace velmor {

// The file of one exported user profile, with its PACS profile's name and tools
// so that the importer can rebuild it. The exporter always writes both.
struct UserProfileExport {
    UserProfile profile;
    std::optional<QString> pacsProfileName;
    std::optional<QList<RadiologyTool>> pacsTools;

    bool operator==(const UserProfileExport&) const = default;

    QJsonObject toJson() const;
    static UserProfileExport fromJson(const QJsonValue& value, const QString& path = {});
};

} // namespace velmor
