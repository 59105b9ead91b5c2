#include "model/AddedBackIds.h"

#include "model/ProfileTemplates.h"
#include "platform/Text.h"

#include <QHash>

namespace velmor {

namespace {

// Ours alone: the ids derived under it collide with no one else's.
const QUuid& idNamespace()
{
    static const QUuid space(QStringLiteral("{b272075c-d9fe-439e-a2e2-38c79c785177}"));
    return space;
}

QString numbered(const QString& name, int n) { return text::lowercased(name) + '\n' + QString::number(n); }

} // namespace

QUuid AddedBackIds::profileId(const QString& name, int copy)
{
    return QUuid::createUuidV5(idNamespace(), numbered(name, copy));
}

QUuid AddedBackIds::toolId(const QUuid& profileId, const QString& toolName, int occurrence)
{
    return QUuid::createUuidV5(profileId, numbered(toolName, occurrence));
}

QList<QUuid> AddedBackIds::toolIds(const QUuid& profileId, const QList<RadiologyTool>& tools)
{
    QHash<QString, int> occurrences;
    QList<QUuid> ids;
    ids.reserve(tools.size());
    for (const RadiologyTool& tool : tools)
        ids.append(toolId(profileId, tool.name, ++occurrences[text::lowercased(tool.name)]));
    return ids;
}

PacsProfile AddedBackIds::addedBack(PacsProfile builtIn, const QSet<QUuid>& takenIds)
{
    int copy = 1;
    while (takenIds.contains(profileId(builtIn.name, copy)))
        ++copy;
    builtIn.id = profileId(builtIn.name, copy);
    const QList<QUuid> ids = toolIds(builtIn.id, builtIn.tools);
    for (qsizetype i = 0; i < ids.size(); ++i)
        builtIn.tools[i].id = ids.at(i);
    return builtIn;
}

bool AddedBackIds::isProfileId(const QUuid& id, int copies)
{
    if (id.version() != QUuid::Sha1)
        return false;
    for (const QString& name : ProfileTemplates::builtInPacsProfileNames()) {
        for (int copy = 1; copy <= copies; ++copy) {
            if (profileId(name, copy) == id)
                return true;
        }
    }
    return false;
}

} // namespace velmor
