#include "RandomStoreEdits.h"

#include "store/ProfileLookup.h"

namespace velmor::test {

namespace {
const QStringList lightings{QStringLiteral("#FF0000"), QStringLiteral("#00FF00")};
const QStringList pacsNames{QStringLiteral("Synthesis"), QStringLiteral("Night PACS"), QStringLiteral("Day PACS")};
const QStringList userNames{QStringLiteral("Dr. A"), QStringLiteral("Dr. B"), QStringLiteral("Resident")};
} // namespace

const QList<RandomStoreEdits::Edit>& RandomStoreEdits::all()
{
    using E = RandomStoreEdits;
    // Each draw goes into a local first, so that the order of draws is fixed.
    static const QList<Edit> edits{
        {"add tool", [](E& e) { e.addTool(); }},
        {"update tool", [](E& e) { e.updateTool(); }},
        {"set shortcut", [](E& e) { e.setShortcut(); }},
        {"delete tool", [](E& e) { e.deleteTool(); }},
        {"rename PACS profile",
         [](E& e) {
             const QUuid id = e.pacs().id;
             e.store_.renamePacsProfile(id, e.pick(pacsNames));
         }},
        {"set default lighting",
         [](E& e) {
             const QUuid id = e.pacs().id;
             e.store_.setDefaultLightingHex(e.maybe(lightings), id);
         }},
        {"select PACS profile", [](E& e) { e.store_.selectPacsProfile(e.pacs().id); }},
        {"create PACS profile", [](E& e) { e.store_.createPacsProfile(e.pick(pacsNames)); }},
        {"duplicate PACS profile", [](E& e) { e.store_.duplicatePacsProfile(e.pacs()); }},
        {"delete PACS profile", [](E& e) { e.store_.deletePacsProfile(e.pacs()); }},
        {"create user profile",
         [](E& e) {
             const QUuid pacsId = e.pacs().id;
             const QString name = e.pick(userNames);
             e.store_.createUserProfile(name, e.coin() ? std::optional(pacsId) : std::nullopt);
         }},
        {"rename user profile",
         [](E& e) {
             const QUuid id = e.user().id;
             e.store_.renameUserProfile(id, e.pick(userNames));
         }},
        {"delete user profile", [](E& e) { e.store_.deleteUserProfile(e.user().id); }},
        {"select user profile", [](E& e) { e.store_.selectUserProfile(e.user()); }},
        {"set PACS profile",
         [](E& e) {
             const QUuid pacsId = e.pacs().id;
             e.store_.setPacsProfile(pacsId, e.user().id);
         }},
        {"set selected device",
         [](E& e) {
             const QUuid id = e.user().id;
             e.store_.setSelectedDeviceId(e.maybe(devices), id);
         }},
        {"set lighting",
         [](E& e) {
             const QUuid id = e.user().id;
             e.store_.setLightingHex(e.maybe(lightings), id);
         }},
        {"set mapping", [](E& e) { e.setMapping(); }},
        {"set mapping", [](E& e) { e.setMapping(); }},
        {"remove mapping",
         [](E& e) {
             const QUuid id = e.user().id;
             const QString device = e.pick(devices);
             e.store_.removeMapping(device, e.pick(buttons), id);
         }},
        {"clear mappings",
         [](E& e) {
             const QUuid id = e.user().id;
             e.store_.clearMappings(e.maybe(devices), id);
         }},
        {"reset to defaults",
         [](E& e) {
             const QUuid id = e.user().id;
             const PacsProfile shown = e.pacs();
             e.store_.resetMappingsToDefaults(id, shown, e.maybe(devices));
         }},
        {"fill unmapped buttons", [](E& e) { e.fillUnmapped(); }},
    };
    return edits;
}

const PacsProfile* RandomStoreEdits::boundPacs(const UserProfile& profile) const
{
    return findById(store_.pacsProfiles().get(), profile.pacsProfileId);
}

RadiologyTool RandomStoreEdits::newTool()
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = pick(toolNames);
    tool.systemIcon = QStringLiteral("circle");
    return tool;
}

RadiologyTool RandomStoreEdits::changedTool(RadiologyTool tool)
{
    switch (index(4)) {
    case 0:
        tool.name = pick(toolNames);
        break;
    case 1:
        tool.isFavorite = !tool.isFavorite;
        break;
    case 2:
        tool.repeatSpeed = coin() ? 0.25 : 0.75;
        break;
    default:
        tool.category = coin() ? ToolCategory::reporting : ToolCategory::mammo;
    }
    return tool;
}

KeyboardShortcut RandomStoreEdits::shortcut()
{
    const QString key = pick(QStringList{QStringLiteral("a"), QStringLiteral("b")});
    return *KeyboardShortcut::fromKeyName(
        key, coin() ? KeyboardShortcut::Modifiers::shift : KeyboardShortcut::Modifiers::control);
}

QList<ButtonMapping> RandomStoreEdits::defaultsOf(const PacsProfile& profile)
{
    QList<ButtonMapping> defaults;
    for (const RadiologyTool& tool : profile.tools)
        defaults.append(ButtonMapping{QUuid::createUuid(), {}, pick(buttons), tool.id});
    return defaults;
}

void RandomStoreEdits::addTool()
{
    const QUuid pacsId = pacs().id;
    store_.upsertTool(newTool(), pacsId);
}

void RandomStoreEdits::updateTool()
{
    const PacsProfile profile = pacs();
    if (!profile.tools.isEmpty())
        store_.updateTool(changedTool(pick(profile.tools)), profile.id);
}

void RandomStoreEdits::setShortcut()
{
    const PacsProfile profile = pacs();
    if (profile.tools.isEmpty())
        return;
    const QUuid toolId = pick(profile.tools).id;
    store_.setShortcut(coin() ? std::optional(shortcut()) : std::nullopt, toolId, profile.id);
}

void RandomStoreEdits::deleteTool()
{
    const PacsProfile profile = pacs();
    if (!profile.tools.isEmpty())
        store_.deleteTool(pick(profile.tools).id, profile.id);
}

void RandomStoreEdits::setMapping()
{
    const UserProfile profile = user();
    const PacsProfile* bound = boundPacs(profile);
    if (!bound || bound->tools.isEmpty())
        return;
    const QUuid toolId = pick(bound->tools).id;
    const QString device = pick(devices);
    store_.setMapping(device, pick(buttons), toolId, profile.id);
}

void RandomStoreEdits::fillUnmapped()
{
    const UserProfile profile = user();
    const PacsProfile* bound = boundPacs(profile);
    if (!bound)
        return;
    const QList<ButtonMapping> defaults = defaultsOf(*bound);
    store_.fillUnmappedButtons(pick(devices), defaults, profile.id);
}

} // namespace velmor::test
