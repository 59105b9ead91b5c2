#include "store/LegacyMigration.h"
#include "store/LegacyToolNames.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

RadiologyTool tool(const QString& name, QUuid id = QUuid::createUuid())
{
    RadiologyTool t;
    t.id = id;
    t.name = name;
    t.systemIcon = "circle";
    t.enabled = true;
    return t;
}

LegacyProfile legacyProfile(const QString& name, QList<RadiologyTool> tools, const QString& device = "tartarus_v2")
{
    LegacyProfile p{QUuid::createUuid(), name, std::move(tools), {}, device};
    for (const RadiologyTool& t : std::as_const(p.tools))
        p.mappings.append(ButtonMapping{QUuid::createUuid(), device, "K0" + QString::number(p.mappings.size() + 1), t.id});
    return p;
}

QStringList namesOf(const QList<RadiologyTool>& tools)
{
    QStringList names;
    for (const RadiologyTool& t : tools)
        names << t.name;
    return names;
}

} // namespace

TEST(LegacyToolNames, RenamesOldNamesInAnyCaseAndReportsChanges)
{
    QList<RadiologyTool> tools{tool("MPR"), tool("invert"), tool("Invert Grayscale"), tool("Montage: Add/Remove"),
                               tool("DICOM Header"), tool("Custom Template"), tool("default template"),
                               tool("montage images"), tool("Pan")};
    const QList<RadiologyTool> before = tools;
    EXPECT_TRUE(renameLegacyTools(tools));
    EXPECT_EQ(namesOf(tools), (QStringList{"MPR/3D", "Invert Grayscale", "Invert Grayscale", "Add to Montage",
                                           "DICOM Metafile", "Apply Custom Template", "Apply Default Template",
                                           "Montage", "Pan"}));
    for (qsizetype i = 0; i < tools.size(); ++i)
        EXPECT_EQ(tools[i].id, before[i].id);
    EXPECT_FALSE(renameLegacyTools(tools));
}

TEST(LegacyToolNames, DuplicateIdsKeepTheFirstInOrder)
{
    const QUuid shared = QUuid::createUuid();
    QList<RadiologyTool> tools{tool("A"), tool("B", shared), tool("C"), tool("D", shared), tool("E", shared)};
    EXPECT_TRUE(removeDuplicateTools(tools));
    EXPECT_EQ(namesOf(tools), (QStringList{"A", "B", "C"}));
    EXPECT_FALSE(removeDuplicateTools(tools));
}

TEST(LegacyMigration, UpgradeAppendsOnlyCatalogueToolsMissingByName)
{
    const QUuid dup = QUuid::createUuid();
    const LegacyProfile old =
        legacyProfile("Reading room", {tool("mpr"), tool("window/level"), tool("Hanging", dup), tool("Other", dup)});
    const LegacyProfile upgraded = upgradedLegacyProfile(old);

    EXPECT_EQ(upgraded.id, old.id);
    EXPECT_EQ(upgraded.name, old.name);
    EXPECT_EQ(upgraded.mappings, old.mappings);
    EXPECT_EQ(upgraded.selectedDeviceId, old.selectedDeviceId);

    const QStringList names = namesOf(upgraded.tools);
    EXPECT_EQ(names.mid(0, 3), (QStringList{"MPR/3D", "window/level", "Hanging"}));
    EXPECT_EQ(names.count("MPR/3D"), 1);
    EXPECT_FALSE(names.contains("Window/Level"));
    EXPECT_FALSE(names.contains("Other"));

    // The rest is the catalogue minus those two, in catalogue order, with catalogue ids.
    QList<RadiologyTool> expected;
    for (const RadiologyTool& t : RadiologyTool::defaultTools()) {
        if (t.name != "MPR/3D" && t.name != "Window/Level")
            expected.append(t);
    }
    EXPECT_EQ(upgraded.tools.mid(3), expected);
}

TEST(LegacyMigration, EmptyLegacyFileGivesTheWholeCatalogue)
{
    const PersistedProfiles result = migrateLegacy(LegacyPersistedProfiles{2, std::nullopt, {}});
    EXPECT_EQ(result.version, 6);
    ASSERT_EQ(result.pacsProfiles.size(), 1);
    ASSERT_EQ(result.userProfiles.size(), 1);
    const PacsProfile& pacs = result.pacsProfiles[0];
    const UserProfile& user = result.userProfiles[0];
    EXPECT_EQ(pacs.name, "Synthesis");
    EXPECT_EQ(pacs.tools, RadiologyTool::defaultTools());
    EXPECT_EQ(pacs.defaultLightingHex, "#7800D1");
    EXPECT_EQ(user.name, "default");
    EXPECT_EQ(user.pacsProfileId, pacs.id);
    EXPECT_TRUE(user.mappings.isEmpty());
    EXPECT_FALSE(user.selectedDeviceId.has_value());
    EXPECT_FALSE(user.lightingHex.has_value());
    EXPECT_EQ(result.activePacsProfileId, pacs.id);
    EXPECT_EQ(result.activeUserProfileId, user.id);
}

TEST(LegacyMigration, MissingOrUnknownActiveIdTakesTheFirstProfile)
{
    const LegacyProfile first = legacyProfile("First", {tool("Alpha")});
    const LegacyProfile second = legacyProfile("Second", {tool("Beta")});
    for (const std::optional<QUuid>& active : {std::optional<QUuid>(), std::optional<QUuid>(QUuid::createUuid())}) {
        const PersistedProfiles result = migrateLegacy(LegacyPersistedProfiles{1, active, {first, second}});
        EXPECT_EQ(result.userProfiles[0].mappings, first.mappings);
        EXPECT_EQ(result.pacsProfiles[0].tools.first().name, "Alpha");
    }
}
