#include "ui/admin/PacsDeletion.h"

#include "platform/Text.h"
#include "store/ProfileLookup.h"
#include "store/ToolIdMap.h"

#include <QStringList>

#include <algorithm>

namespace velmor {

namespace {

// A dialog stays a dialog: past this many bound users the rest are counted.
constexpr qsizetype listedUsers = 8;

QString counted(qsizetype count, const QString& one, const QString& many)
{
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? one : many);
}

QString keptLine(const PacsDeletion::BoundUser& user)
{
    if (user.mappings == 0)
        return QStringLiteral("• %1: no mappings").arg(text::displayName(user.name));
    return QStringLiteral("• %1: %2 of %3 kept")
        .arg(text::displayName(user.name), QString::number(user.kept),
             counted(user.mappings, QStringLiteral("mapping"), QStringLiteral("mappings")));
}

} // namespace

std::optional<PacsDeletion> PacsDeletion::of(const QUuid& pacsId, const QList<PacsProfile>& pacsProfiles,
                                             const QList<UserProfile>& userProfiles)
{
    const PacsProfile* deleted = findById(pacsProfiles, pacsId);
    if (!deleted || pacsProfiles.size() < 2)
        return std::nullopt;
    const PacsProfile& fallback = pacsProfiles.first().id == pacsId ? pacsProfiles[1] : pacsProfiles.first();

    PacsDeletion deletion{pacsId, deleted->name, deleted->tools.size(), fallback.name, {}};
    for (const UserProfile& user : userProfiles) {
        if (user.pacsProfileId != pacsId)
            continue;
        deletion.users.append({user.name, user.mappings.size(),
                               toolIdMap(user.mappings, deleted->tools, fallback.tools).size()});
    }
    return deletion;
}

Prompter::Question PacsDeletion::question() const
{
    QString message =
        QStringLiteral("This will remove the PACS profile %1 and its %2.")
            .arg(text::displayName(name), counted(toolCount, QStringLiteral("tool"), QStringLiteral("tools")));
    if (!users.isEmpty()) {
        const bool one = users.size() == 1;
        QStringList lines;
        lines << QStringLiteral("%1 bound to it %2 to %3 and %4 only the mappings whose tool has the same name there:")
                     .arg(one ? QStringLiteral("The user profile") : QStringLiteral("The user profiles"),
                          one ? QStringLiteral("moves") : QStringLiteral("move"), text::displayName(fallbackName),
                          one ? QStringLiteral("keeps") : QStringLiteral("keep"));
        for (qsizetype index = 0; index < std::min(users.size(), listedUsers); ++index)
            lines << keptLine(users[index]);
        if (users.size() > listedUsers)
            lines << QStringLiteral("• and %1 more").arg(users.size() - listedUsers);
        message += QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
    }
    QStringList names{text::displayName(name), text::displayName(fallbackName)};
    for (const BoundUser& user : users)
        names << text::displayName(user.name);
    return {QStringLiteral("Delete PACS?"),
            message,
            {{QStringLiteral("Delete"), Prompter::Role::destructive}, {QStringLiteral("Cancel"), Prompter::Role::cancel}},
            std::nullopt,
            {},
            names};
}

} // namespace velmor
