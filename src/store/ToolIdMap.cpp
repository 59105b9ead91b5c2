#include "store/ToolIdMap.h"

#include "platform/Text.h"

#include <QHash>
#include <QString>
#include <QUuid>

namespace velmor {

QList<ButtonMapping> toolIdMap(const QList<ButtonMapping>& mappings, const QList<RadiologyTool>& from,
                               const QList<RadiologyTool>& to)
{
    // The first tool of a repeated id, and of a repeated lower-cased name, wins.
    QHash<QUuid, QString> nameById;
    for (const RadiologyTool& tool : from) {
        if (!nameById.contains(tool.id))
            nameById.insert(tool.id, text::lowercased(tool.name));
    }
    QHash<QString, QUuid> idByName;
    for (const RadiologyTool& tool : to) {
        const QString name = text::lowercased(tool.name);
        if (!idByName.contains(name))
            idByName.insert(name, tool.id);
    }

    QList<ButtonMapping> result;
    result.reserve(mappings.size());
    for (const ButtonMapping& mapping : mappings) {
        const auto name = nameById.constFind(mapping.toolId);
        if (name == nameById.cend())
            continue;
        const auto target = idByName.constFind(*name);
        if (target == idByName.cend())
            continue;
        ButtonMapping moved = mapping;
        moved.toolId = *target;
        result.append(moved);
    }
    return result;
}

} // namespace velmor
