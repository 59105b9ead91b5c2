#include "store/LegacyToolNames.h"

#include "platform/Text.h"

#include <QSet>
#include <QUuid>

namespace velmor {

const QHash<QString, QString>& legacyToolNameMap()
{
    static const QHash<QString, QString> map{
        {QStringLiteral("dicom header"), QStringLiteral("DICOM Metafile")},
        {QStringLiteral("invert"), QStringLiteral("Invert Grayscale")},
        {QStringLiteral("montage: add/remove"), QStringLiteral("Add to Montage")},
        {QStringLiteral("montage images"), QStringLiteral("Montage")},
        {QStringLiteral("mpr"), QStringLiteral("MPR/3D")},
        {QStringLiteral("custom template"), QStringLiteral("Apply Custom Template")},
        {QStringLiteral("default template"), QStringLiteral("Apply Default Template")},
    };
    return map;
}

bool renameLegacyTools(QList<RadiologyTool>& tools)
{
    const QHash<QString, QString>& map = legacyToolNameMap();
    bool changed = false;
    for (RadiologyTool& tool : tools) {
        const auto current = map.constFind(text::lowercased(tool.name));
        if (current != map.cend() && tool.name != current.value()) {
            tool.name = current.value();
            changed = true;
        }
    }
    return changed;
}

bool removeDuplicateTools(QList<RadiologyTool>& tools)
{
    QSet<QUuid> seen;
    const qsizetype before = tools.size();
    tools.removeIf([&](const RadiologyTool& tool) {
        if (seen.contains(tool.id))
            return true;
        seen.insert(tool.id);
        return false;
    });
    return tools.size() != before;
}

} // namespace velmor
