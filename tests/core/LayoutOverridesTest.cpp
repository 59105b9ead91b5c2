#include "support/AppModelFixture.h"

#include "core/LayoutOverridesFile.h"
#include "platform/Json.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <limits>

#include <sys/stat.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class LayoutOverridesTest : public AppModelFixture {
protected:
    QString overridesPath() const { return supportPath("layout_overrides.json"); }
    LayoutOverrides saved() const { return LayoutOverridesFile::decode(readFile(overridesPath())); }
    QHash<QString, NormalizedRect> of(const QString& deviceId) const { return model->overlayOverrides().get().value(deviceId); }
};

TEST_F(LayoutOverridesTest, TheSavedFileReplacesBundleLayoutsDeviceByDevice)
{
    // Edited by hand in an editor that starts files with a byte-order mark.
    writeFile(overridesPath(),
              "\xEF\xBB\xBF" R"({"tartarus_v2": {"K05": {"x": 0.5, "y": 0.5, "width": 0.1, "height": 0.1}}})");
    start();
    EXPECT_EQ(of(keypad), (QHash<QString, NormalizedRect>{{"K05", {0.5, 0.5, 0.1, 0.1}}}));
    EXPECT_EQ(of("speechmike_smp3700").size(), 13);

    // Buttons without an override fall back to the template's rectangle, or none.
    DeviceButton button = Device::tartarusTemplate().buttons.first();
    ASSERT_EQ(button.id, "K01");
    EXPECT_EQ(model->overlayFrame(button, keypad), button.overlayFrame);
    button.overlayFrame.reset();
    EXPECT_EQ(model->overlayFrame(button, keypad), std::nullopt);
}

TEST_F(LayoutOverridesTest, ImportsReplaceOneDeviceAndOnlyEditsSave)
{
    start();
    const QHash<QString, NormalizedRect> bundleKeypad = of(keypad);
    ASSERT_EQ(bundleKeypad.size(), 28);
    const QString path = supportDir.filePath("mine.json");
    writeFile(path, "\xEF\xBB\xBF" R"({"deviceId": "mouse_5_button", "buttons": [
        {"id": "LEFT", "x": 0, "y": 0, "width": 0.5, "height": 0.5},
        {"id": "LEFT", "x": 0.5, "y": 0.5, "width": 0.25, "height": 0.25}]})");
    model->importLayout(path);
    EXPECT_EQ(of("mouse_5_button"), (QHash<QString, NormalizedRect>{{"LEFT", {0.5, 0.5, 0.25, 0.25}}}));
    EXPECT_EQ(logMessages().last(), "Imported layout for mouse_5_button from mine.json");

    const LayoutOverrides before = model->overlayOverrides().get();
    writeFile(path, R"({"deviceId": "mouse_5_button", "buttons": [{"id": "LEFT", "x": 0}]})");
    model->importLayout(path);
    EXPECT_TRUE(logMessages().last().startsWith("Failed to import layout: "));
    EXPECT_EQ(model->overlayOverrides().get(), before);
    EXPECT_FALSE(QFile::exists(overridesPath())) << "neither start-up nor importing saves";

    model->setOverlayFrame({0.1, 0.2, 0.3, 0.4}, "K01", keypad);
    EXPECT_EQ(saved(), model->overlayOverrides().get());

    // A rectangle no file can hold is refused rather than blocking every later save.
    model->setOverlayFrame({std::numeric_limits<double>::infinity(), 0, 1, 1}, "K02", keypad);
    EXPECT_EQ(of(keypad).value("K02"), bundleKeypad.value("K02"));
}

TEST_F(LayoutOverridesTest, TheBundleImportRestoresItsDevicesAndSavingWritesWhatIsShown)
{
    start();
    const QHash<QString, NormalizedRect> bundleKeypad = of(keypad);
    const QString path = supportDir.filePath("pad.json");
    writeFile(path, R"({"deviceId": "tartarus_v2", "buttons": [{"id": "K01", "x": 0, "y": 0, "width": 1, "height": 1}]})");
    model->importLayout(path);
    ASSERT_EQ(of(keypad).size(), 1);
    model->importLayoutsFromBundle();
    EXPECT_EQ(of(keypad), bundleKeypad);
    EXPECT_FALSE(QFile::exists(overridesPath()));
    model->saveLayoutOverrides();
    EXPECT_EQ(saved(), model->overlayOverrides().get());
}

TEST_F(LayoutOverridesTest, ADamagedFileIsKeptAsideAndWriteFailuresAreLogged)
{
    writeFile(overridesPath(), R"({"tartarus_v2": {"K01": {"x": 1}}})");
    start();
    EXPECT_TRUE(logMessages().contains("layout_overrides.json could not be used and was kept as "
                                       "layout_overrides.json.damaged: its content is not valid "
                                       "(tartarus_v2.K01.y: required key is missing)"))
        << logMessages().join('\n').toStdString();
    EXPECT_EQ(of(keypad).size(), 28) << "the bundle layout stands";

    // A folder in the file's place cannot be replaced; the change stays in memory.
    ASSERT_TRUE(QDir(supportDir.path()).mkpath("layout_overrides.json/x"));
    model->setOverlayFrame({0.2, 0.2, 0.2, 0.2}, "K01", keypad);
    EXPECT_TRUE(logMessages().last().startsWith("Failed to save layout_overrides.json: "));
    EXPECT_EQ(of(keypad).value("K01"), (NormalizedRect{0.2, 0.2, 0.2, 0.2}));
}

// Both small files of the data folder: a FIFO in a file's place is not opened (it
// would block start-up) but kept aside like a damaged file, with its cause; a link the
// user made to a regular file is read through and saved to, the link kept.
TEST_F(LayoutOverridesTest, AFifoIsKeptAsideAndALinkToAFileIsFollowed)
{
    const auto usage = [](std::int64_t value) {
        RawHIDSample sample;
        sample.vendorId = 2321;
        sample.productId = 3100;
        sample.usagePage = 9;
        sample.usage = value;
        return sample;
    };
    QTemporaryDir outside;
    writeFile(outside.filePath("usages.json"), R"({"2321-3100": {"90002": "Two"}})");
    ASSERT_EQ(::mkfifo(QFile::encodeName(overridesPath()).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(outside.filePath("usages.json"), supportPath("custom_usages.json")));
    start();
    EXPECT_TRUE(logMessages().contains("layout_overrides.json could not be used and was kept as "
                                       "layout_overrides.json.damaged: “"
                                       + overridesPath() + "” is a FIFO, not a regular file."));
    EXPECT_EQ(of(keypad).size(), 28);
    EXPECT_EQ(model->customUsageMap().value({2321, 3100}).value(0x00090002), "Two");

    model->setOverlayFrame({0.1, 0.2, 0.3, 0.4}, "K01", keypad);
    EXPECT_TRUE(QFileInfo(overridesPath()).isFile());
    EXPECT_EQ(saved().value(keypad).value("K01"), (NormalizedRect{0.1, 0.2, 0.3, 0.4}));
    model->setCustomUsageName(usage(3), "Three");
    EXPECT_TRUE(QFileInfo(supportPath("custom_usages.json")).isSymLink());
    EXPECT_EQ(readFile(outside.filePath("usages.json")), R"({"2321-3100":{"90002":"Two","90003":"Three"}})");

    // Damaged content behind the link: a copy is kept, the link stays, and the next
    // save writes to its target.
    writeFile(outside.filePath("usages.json"), "{");
    model->loadCustomUsages();
    EXPECT_TRUE(logMessages().last().startsWith("custom_usages.json could not be used and was kept as "
                                                "custom_usages.json.damaged: its content is not valid ("));
    EXPECT_EQ(readFile(supportPath("custom_usages.json.damaged")), "{");
    model->setCustomUsageName(usage(4), "Four");
    EXPECT_TRUE(QFileInfo(supportPath("custom_usages.json")).isSymLink());
    EXPECT_TRUE(readFile(outside.filePath("usages.json")).contains(R"("90004":"Four")"));
}

// The encoding is the shared JSON writer's over each rectangle's own fields; reading is all or nothing.
TEST(LayoutOverridesFileTest, WrongShapesFailWhole)
{
    for (const char* bad : {"null", R"({"d": []})", R"({"d": {"b": {"x": "0", "y": 0, "width": 1, "height": 1}}})"})
        EXPECT_THROW(LayoutOverridesFile::decode(bad), json::DecodeError) << bad;
}

} // namespace
