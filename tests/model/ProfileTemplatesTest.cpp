#include "model/Device.h"
#include "model/HexColor.h"
#include "model/ProfileTemplates.h"
#include "platform/Bundle.h"
#include "platform/Json.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

RadiologyTool tool(const QString& name)
{
    return {QUuid::createUuid(), name, "circle", ToolIconSource::system, {}, true, false, 0.5, {}, {}};
}

// "device/button→tool name" for each mapping, resolved against `tools`.
QStringList describe(const QList<ButtonMapping>& mappings, const QList<RadiologyTool>& tools)
{
    QStringList lines;
    for (const ButtonMapping& m : mappings)
        for (const RadiologyTool& t : tools)
            if (t.id == m.toolId)
                lines << m.deviceId + '/' + m.buttonId + "→" + t.name;
    return lines;
}

const QString speechMike = QStringLiteral("speechmike_smp3700");

// Points the bundle at an empty folder that each test fills with the resources it needs.
class ProfileTemplatesTest : public ::testing::Test {
protected:
    ProfileTemplatesTest() { Bundle::setMainRoot(dir.path()); }
    ~ProfileTemplatesTest() override { Bundle::setMainRoot({}); }

    void resource(const QString& name, const QByteArray& bytes) { test::writeFile(dir.filePath(name + ".json"), bytes); }
    void tools(const QString& name, const QList<RadiologyTool>& list)
    {
        resource(name, json::encode(json::encodeList(list)));
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(ProfileTemplatesTest, BuiltInsTakeToolsFromDecodableResourcesElseTheCatalogueOrNoneAndColoursGoByName)
{
    QList<PacsProfile> builtIns = ProfileTemplates::builtInPacsProfiles();
    ASSERT_EQ(builtIns.size(), 4);
    const char* const names[] = {"Synthesis", "Intelerad", "eUnity", "Change Healthcare"};
    const std::optional<QString> colours[] = {"#7800D1", std::nullopt, "#00B050", std::nullopt};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(builtIns[i].name, names[i]);
        EXPECT_EQ(builtIns[i].defaultLightingHex, colours[i]) << i;
        EXPECT_EQ(builtIns[i].tools, i == 0 ? RadiologyTool::defaultTools() : QList<RadiologyTool>{}) << i;
        EXPECT_NE(ProfileTemplates::builtInPacsProfiles()[i].id, builtIns[i].id);
    }
    // Colours by lower-cased, untrimmed name.
    const std::pair<const char*, std::optional<QString>> lighting[] = {
        {"MERGE UNITY", "#FF8A00"}, {"synthesis", "#7800D1"}, {"EUNITY", "#00B050"},
        {"eUnity ", std::nullopt},  {"Intelerad", std::nullopt}, {"", std::nullopt}};
    for (const auto& [name, hex] : lighting)
        EXPECT_EQ(ProfileTemplates::defaultLightingHex(name), hex) << name;

    const QList<RadiologyTool> intelerad{tool("Series Sync"), tool("Key Image")}, synthesis{tool("Stack")};
    tools("InteleradDefaults", intelerad);
    tools("SynthesisDefaults", synthesis);
    resource("ChangeHealthcareDefaults", "[{\"name\": \"no id\"}]");
    builtIns = ProfileTemplates::builtInPacsProfiles();
    EXPECT_EQ(builtIns[0].tools, synthesis);
    EXPECT_EQ(builtIns[1].tools, intelerad);
    EXPECT_TRUE(builtIns[3].tools.isEmpty());

    // Synthesis falls back to the catalogue for every kind of unusable resource.
    for (const QByteArray& bad : {QByteArray("[]"), QByteArray("[{"), QByteArray("{}"), QByteArray(""),
                                  QByteArray("[{\"id\": \"A0000000-0000-4000-8000-000000000001\", \"name\": "
                                             "\"x\", \"systemIcon\": \"y\"}]")}) {
        resource("SynthesisDefaults", bad);
        EXPECT_EQ(ProfileTemplates::synthesisTools(), RadiologyTool::defaultTools()) << bad.constData();
    }
}

TEST_F(ProfileTemplatesTest, WithoutAUsableMappingResourceOnlyTheSpeechMikeGetsItsFallbackTable)
{
    const QList<RadiologyTool> catalogue = RadiologyTool::defaultTools();
    // No resource, or one that a single malformed entry spoils as a whole.
    for (const QByteArray& bad :
         {QByteArray(),
          QByteArray(R"({"Synthesis": {"tartarus_v2": [{"buttonId": "K01", "toolName": "Pan"}, {"buttonId": "K02"}]}})"),
          QByteArray(R"({"Synthesis": {"tartarus_v2": {"buttonId": "K01", "toolName": "Pan"}}})"),
          QByteArray(R"({"Synthesis": [], "eUnity": {}})"), QByteArray(R"([])"), QByteArray("{")}) {
        if (!bad.isNull())
            resource("DefaultMappings", bad);
        EXPECT_EQ(ProfileTemplates::defaultMappings("Synthesis", catalogue, speechMike).size(), 11) << bad.data();
        EXPECT_TRUE(ProfileTemplates::defaultMappings("Synthesis", catalogue, "tartarus_v2").isEmpty()) << bad.data();
        EXPECT_TRUE(ProfileTemplates::defaultMappings("Synthesis", catalogue, std::nullopt).isEmpty()) << bad.data();
    }
    EXPECT_TRUE(ProfileTemplates::defaultMappings("Synthesis", catalogue, "SPEECHMIKE_SMP3700").isEmpty());

    // Every row of the table names a catalogue tool and a SpeechMike button.
    const QList<ButtonMapping> table = ProfileTemplates::defaultMappings("Synthesis", catalogue, speechMike);
    EXPECT_EQ(describe(table, catalogue).first(), "speechmike_smp3700/REC→Mic On/Off");
    const QList<DeviceButton>& buttons = Device::speechMikeTemplate().buttons;
    for (const ButtonMapping& m : table)
        EXPECT_TRUE(std::any_of(buttons.begin(), buttons.end(), [&](const auto& b) { return b.id == m.buttonId; }))
            << m.buttonId.toStdString();

    // The fallback needs exact names; rows without a tool are skipped.
    const QList<RadiologyTool> some{tool("mic on/off"), tool("Skip Exam"), tool("Exam List"), tool("Exam List")};
    const QList<ButtonMapping> fallback = ProfileTemplates::speechMikeFallbackMappings(some);
    EXPECT_EQ(describe(fallback, some),
              (QStringList{"speechmike_smp3700/EOL→Exam List", "speechmike_smp3700/F4→Skip Exam"}));
    EXPECT_EQ(fallback[0].toolId, some[2].id);
    EXPECT_NE(fallback[0].id, ProfileTemplates::speechMikeFallbackMappings(some)[0].id);
}

TEST_F(ProfileTemplatesTest, PacsEntryIsChosenExactThenCaseInsensitiveThenSynthesisThenAnyAndBindsTheDefaultUser)
{
    resource("DefaultMappings", R"({
        "Synthesis": {"tartarus_v2": [{"buttonId": "K01", "toolName": "Pan"}]},
        "intelerad": {"tartarus_v2": [{"buttonId": "K02", "toolName": "Pan"}]},
        "Intelerad": {"tartarus_v2": [{"buttonId": "K03", "toolName": "Pan"}]}
    })");
    const QList<RadiologyTool> tools{tool("Pan")};
    auto buttonFor = [&](const QString& pacs) {
        const QList<ButtonMapping> m = ProfileTemplates::defaultMappings(pacs, tools, "tartarus_v2");
        return m.size() == 1 ? m[0].buttonId : QString("none");
    };
    EXPECT_EQ(buttonFor("Intelerad"), "K03");
    EXPECT_EQ(buttonFor("intelerad"), "K02");
    EXPECT_EQ(buttonFor("SYNTHESIS"), "K01");
    EXPECT_EQ(buttonFor("Change Healthcare"), "K01");

    // The default user binds to Synthesis in any case, else to the first, with that profile's tools.
    EXPECT_TRUE(ProfileTemplates::defaultUserProfiles({}).isEmpty());
    const PacsProfile intelerad{QUuid::createUuid(), "Intelerad", {tool("Pan")}, std::nullopt};
    const PacsProfile synthesis{QUuid::createUuid(), "synthesis", {tool("Pan")}, std::nullopt};
    const PacsProfile eunity{QUuid::createUuid(), "eUnity", {}, std::nullopt};
    const QList<UserProfile> bound = ProfileTemplates::defaultUserProfiles({intelerad, synthesis});
    ASSERT_EQ(bound.size(), 1);
    EXPECT_EQ(bound[0].name, "Radiologist - General");
    EXPECT_EQ(bound[0].pacsProfileId, synthesis.id);
    EXPECT_EQ(describe(bound[0].mappings, synthesis.tools), QStringList{"tartarus_v2/K01→Pan"});
    EXPECT_EQ(bound[0].selectedDeviceId, Device::tartarusTemplate().id);
    const QList<UserProfile> first = ProfileTemplates::defaultUserProfiles({intelerad, eunity});
    EXPECT_EQ(first[0].pacsProfileId, intelerad.id);
    EXPECT_EQ(describe(first[0].mappings, intelerad.tools), QStringList{"tartarus_v2/K03→Pan"});
    EXPECT_NE(first[0].id, ProfileTemplates::defaultUserProfiles({intelerad, eunity})[0].id);

    resource("DefaultMappings", R"({"eUnity": {"tartarus_v2": [{"buttonId": "K04", "toolName": "Pan"}]}})");
    EXPECT_EQ(buttonFor("Change Healthcare"), "K04");
}

TEST_F(ProfileTemplatesTest, DeviceListsDecideBeforeTheSpeechMikeFallback)
{
    resource("DefaultMappings", R"({"Synthesis": {
        "tartarus_v2": [{"buttonId": "K01", "toolName": "ZOOM"}, {"buttonId": "K02", "toolName": "Missing"},
                        {"buttonId": "NOT_A_BUTTON", "toolName": "mic on/off"}],
        "mouse_5_button": [{"buttonId": "LEFT_CLICK", "toolName": "Pan"}],
        "speechmike_smp3700": []
    }})");
    const QList<RadiologyTool> tools{tool("Pan"), tool("Zoom"), tool("zoom"), tool("Mic On/Off")};

    EXPECT_EQ(describe(ProfileTemplates::defaultMappings("Synthesis", tools, "tartarus_v2"), tools),
              (QStringList{"tartarus_v2/K01→Zoom", "tartarus_v2/NOT_A_BUTTON→Mic On/Off"}));

    // Listed with no entries: nothing, not the fallback table.
    EXPECT_TRUE(ProfileTemplates::defaultMappings("Synthesis", tools, speechMike).isEmpty());
    EXPECT_TRUE(ProfileTemplates::defaultMappings("Synthesis", tools, "other").isEmpty());

    // Every device of the entry, devices in name order, each block in its own order.
    EXPECT_EQ(describe(ProfileTemplates::defaultMappings("Synthesis", tools, std::nullopt), tools),
              (QStringList{"mouse_5_button/LEFT_CLICK→Pan", "tartarus_v2/K01→Zoom",
                           "tartarus_v2/NOT_A_BUTTON→Mic On/Off"}));
}

TEST(HexColor, WritesTruncatedUpperCaseAndReadsSixDigitsWithOptionalHashAndSpaceElseFallsBack)
{
    EXPECT_EQ(hexString(QColor::fromRgbF(0.5f, 0.0f, 1.0f)), QStringLiteral("#7F00FF")); // 127.5 truncates
    EXPECT_EQ(hexString(QColor::fromHsv(120, 255, 255)), QStringLiteral("#00FF00"));
    EXPECT_EQ(hexString(QColor()), std::nullopt);

    EXPECT_EQ(parseHexColor(QStringLiteral(" #aF12Bc\n")), (RgbBytes{0xAF, 0x12, 0xBC}));
    EXPECT_EQ(parseHexColor(QStringLiteral("ffffff")), (RgbBytes{255, 255, 255}));
    for (const char* bad : {"", "   ", "#", "#12345", "#1234567", "##12345", "#GG0000", "+12345", "-12345",
                            "0x1234", "12 345", "#12345\xC3\xA9"})
        EXPECT_EQ(parseHexColor(QString::fromUtf8(bad)), std::nullopt) << bad;
    EXPECT_EQ(parseHexColor(std::nullopt), std::nullopt);
    // Full-width digits are digits to Unicode but not hexadecimal text.
    EXPECT_EQ(parseHexColor(QStringLiteral("１２３４５６")), std::nullopt);

    EXPECT_EQ(colorFromHex(QStringLiteral("#102030"), QStringLiteral("#00B050")), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(colorFromHex(QStringLiteral("nope"), QStringLiteral("#00B050")), QColor(0x00, 0xB0, 0x50));
    EXPECT_EQ(colorFromHex(std::nullopt, QStringLiteral("bad")), QColor(Qt::white));
}
