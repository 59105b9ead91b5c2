#pragma once

// A large profiles document for the benchmarks: PACS profiles × user profiles ×
// mappings each; the PACS profiles beyond the built-in ones carry 60 tools each.
#include "model/ProfileTemplates.h"
#include "store/PersistedProfiles.h"

namespace velmor::bench {

struct Size {
    int pacs;
    int users;
    int mappings;
};

inline const QStringList devices{"tartarus_v2", "speechmike_smp3700", "mouse_g600"};

inline PersistedProfiles makeDocument(Size size)
{
    PersistedProfiles document;
    document.pacsProfiles = ProfileTemplates::builtInPacsProfiles();
    for (int p = document.pacsProfiles.size(); p < size.pacs; ++p) {
        PacsProfile pacs{QUuid::createUuid(), QStringLiteral("Reading Room %1").arg(p), {}, std::nullopt};
        for (int t = 0; t < 60; ++t) {
            RadiologyTool tool;
            tool.id = QUuid::createUuid();
            tool.name = QStringLiteral("Hanging protocol “%1” → step %2").arg(p).arg(t);
            tool.systemIcon = QStringLiteral("rectangle.split.2x2");
            tool.repeatSpeed = 0.25 + t / 240.0;
            tool.shortcut = KeyboardShortcut{static_cast<std::uint16_t>(t % 50), QString(QChar('a' + t % 26)),
                                             KeyboardShortcut::Modifiers::command};
            if (t % 10 == 0)
                tool.toggleShortcuts = QList<KeyboardShortcut>{*tool.shortcut, {7, "x", {}}};
            pacs.tools.append(tool);
        }
        document.pacsProfiles.append(pacs);
    }
    QList<PacsProfile> withTools;
    for (const PacsProfile& pacs : document.pacsProfiles) {
        if (!pacs.tools.isEmpty())
            withTools.append(pacs);
    }
    for (int u = 0; u < size.users; ++u) {
        const PacsProfile& pacs = withTools.at(u % withTools.size());
        UserProfile user{QUuid::createUuid(), QStringLiteral("Dr. Reader %1").arg(u), pacs.id, {}, devices[0],
                         std::nullopt};
        for (int m = 0; m < size.mappings; ++m) {
            user.mappings.append(ButtonMapping{QUuid::createUuid(), devices[m % devices.size()],
                                               QStringLiteral("B%1").arg(m, 4, 10, QChar('0')),
                                               pacs.tools.at(m % pacs.tools.size()).id});
        }
        document.userProfiles.append(user);
    }
    return document;
}

} // namespace velmor::bench
