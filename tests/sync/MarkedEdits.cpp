#include "MarkedEdits.h"

#include "store/ProfileLookup.h"

namespace velmor::test {

namespace {
const QString tartarus = QStringLiteral("tartarus_v2");
const QStringList noiseNames{QStringLiteral("Night"), QStringLiteral("Day")};
const QStringList noiseButtons{QStringLiteral("K01"), QStringLiteral("K02"), QStringLiteral("K03")};
const QStringList lightings{QStringLiteral("#FF0000"), QStringLiteral("#00FF00")};
} // namespace

void MarkedEdits::apply()
{
    using Edit = void (MarkedEdits::*)();
    static const QList<Edit> edits{&MarkedEdits::markUser,        &MarkedEdits::markPacs,    &MarkedEdits::markTool,
                                   &MarkedEdits::markMapping,     &MarkedEdits::markMapping, &MarkedEdits::rename,
                                   &MarkedEdits::light,           &MarkedEdits::mapNoise,    &MarkedEdits::changeTool,
                                   &MarkedEdits::deleteSomething, &MarkedEdits::rebind};
    (this->*pick(edits))();
}

QString MarkedEdits::newMark(QStringList& kind)
{
    const int count = int(marks_.users.size() + marks_.pacs.size() + marks_.tools.size() + marks_.buttons.size());
    kind << Marks::prefix + QString::number(count);
    return kind.last();
}

bool MarkedEdits::holdsMarks(const UserProfile& profile) const
{
    return Marks::isMarked(profile.name) ||
        std::any_of(profile.mappings.cbegin(), profile.mappings.cend(),
                    [](const ButtonMapping& m) { return m.deviceId == Marks::device; });
}

bool MarkedEdits::holdsMarks(const PacsProfile& profile) const
{
    const auto& users = store_.userProfiles().get();
    return Marks::isMarked(profile.name) ||
        std::any_of(profile.tools.cbegin(), profile.tools.cend(),
                    [](const RadiologyTool& t) { return Marks::isMarked(t.name); }) ||
        std::any_of(users.cbegin(), users.cend(), [&](const UserProfile& u) { return u.pacsProfileId == profile.id; });
}

bool MarkedEdits::isNeeded(const RadiologyTool& tool) const
{
    const auto& users = store_.userProfiles().get();
    return Marks::isMarked(tool.name) || std::any_of(users.cbegin(), users.cend(), [&](const UserProfile& u) {
               return std::any_of(u.mappings.cbegin(), u.mappings.cend(), [&](const ButtonMapping& m) {
                   return m.deviceId == Marks::device && m.toolId == tool.id;
               });
           });
}

void MarkedEdits::markUser()
{
    const QUuid pacsId = pick(store_.pacsProfiles().get()).id;
    store_.createUserProfile(newMark(marks_.users), pacsId);
}

void MarkedEdits::markPacs() { store_.createPacsProfile(newMark(marks_.pacs)); }

void MarkedEdits::markTool()
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.systemIcon = QStringLiteral("circle");
    const QUuid pacsId = pick(store_.pacsProfiles().get()).id;
    tool.name = newMark(marks_.tools);
    store_.upsertTool(tool, pacsId);
}

void MarkedEdits::markMapping()
{
    const UserProfile user = pick(store_.userProfiles().get());
    const PacsProfile* bound = findById(store_.pacsProfiles().get(), user.pacsProfileId);
    if (!bound || bound->tools.isEmpty())
        return;
    const QUuid toolId = pick(bound->tools).id;
    store_.setMapping(Marks::device, newMark(marks_.buttons), toolId, user.id);
}

void MarkedEdits::rename()
{
    if (below(2)) {
        const UserProfile user = pick(store_.userProfiles().get());
        if (!Marks::isMarked(user.name))
            store_.renameUserProfile(user.id, pick(noiseNames));
    } else {
        const PacsProfile pacs = pick(store_.pacsProfiles().get());
        if (!Marks::isMarked(pacs.name))
            store_.renamePacsProfile(pacs.id, pick(noiseNames) + " PACS");
    }
}

void MarkedEdits::light()
{
    const QString hex = pick(lightings);
    if (below(2))
        store_.setLightingHex(hex, pick(store_.userProfiles().get()).id);
    else
        store_.setDefaultLightingHex(hex, pick(store_.pacsProfiles().get()).id);
}

void MarkedEdits::mapNoise()
{
    const UserProfile user = pick(store_.userProfiles().get());
    const PacsProfile* bound = findById(store_.pacsProfiles().get(), user.pacsProfileId);
    switch (below(3)) {
    case 0:
        if (bound && !bound->tools.isEmpty()) {
            const QUuid toolId = pick(bound->tools).id;
            store_.setMapping(tartarus, pick(noiseButtons), toolId, user.id);
        }
        break;
    case 1:
        store_.removeMapping(tartarus, pick(noiseButtons), user.id);
        break;
    default:
        store_.clearMappings(tartarus, user.id);
    }
}

void MarkedEdits::changeTool()
{
    const PacsProfile pacs = pick(store_.pacsProfiles().get());
    if (pacs.tools.isEmpty())
        return;
    RadiologyTool tool = pick(pacs.tools);
    tool.isFavorite = !tool.isFavorite;
    tool.repeatSpeed = below(2) ? 0.25 : 0.75;
    store_.updateTool(tool, pacs.id);
}

void MarkedEdits::deleteSomething()
{
    switch (below(3)) {
    case 0: {
        const PacsProfile pacs = pick(store_.pacsProfiles().get());
        if (!pacs.tools.isEmpty()) {
            const RadiologyTool tool = pick(pacs.tools);
            if (!isNeeded(tool))
                store_.deleteTool(tool.id, pacs.id);
        }
        break;
    }
    case 1: {
        const PacsProfile pacs = pick(store_.pacsProfiles().get());
        if (!holdsMarks(pacs))
            store_.deletePacsProfile(pacs);
        break;
    }
    default: {
        const UserProfile user = pick(store_.userProfiles().get());
        if (!holdsMarks(user))
            store_.deleteUserProfile(user.id);
    }
    }
}

void MarkedEdits::rebind()
{
    const UserProfile user = pick(store_.userProfiles().get());
    const QUuid pacsId = pick(store_.pacsProfiles().get()).id;
    // Moving by tool name may drop a mapping on purpose: only profiles without
    // marked mappings move.
    if (!std::any_of(user.mappings.cbegin(), user.mappings.cend(),
                     [](const ButtonMapping& m) { return m.deviceId == Marks::device; }))
        store_.setPacsProfile(pacsId, user.id);
}

} // namespace velmor::test
