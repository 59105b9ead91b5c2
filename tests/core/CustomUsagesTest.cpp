#include "support/AppModelFixture.h"

#include "core/CustomUsageFile.h"
#include "platform/Json.h"

#include <QDir>
#include <QFile>

using namespace velmor;
using namespace velmor::test;

namespace {

class CustomUsagesTest : public AppModelFixture {
protected:
    QString usagesPath() const { return supportPath("custom_usages.json"); }
    static RawHIDSample sample(std::int64_t page, std::int64_t usage)
    {
        RawHIDSample s;
        s.vendorId = 2321;
        s.productId = 3100;
        s.usagePage = page;
        s.usage = usage;
        return s;
    }
};

TEST_F(CustomUsagesTest, NamedUsagesGoToTheHIDSourceAndAreSavedAndReadBack)
{
    // Edited by hand: a byte-order mark, a lower-case key and malformed entries.
    writeFile(usagesPath(),
              "\xEF\xBB\xBF" R"({"+2321-3100": {"c00e9": "Mute", "zz": "x", "": "y"}, "abc-1": {"1": "y"}})");
    start();
    // A side button the keypad's template does not know, named from the HID inspector's feed.
    plugKeypad()->sendValue({10, hid::ElementType::inputButton, 9, 1, false}, 1);
    queue->runUntilIdle();
    model->setCustomUsageName(model->hidEvents().get().last(), "SIDE");

    // The last name stands; keys beyond 32 bits are refused, a page's high bits fall off.
    model->setCustomUsageName(sample(0x09, 0x01), "First");
    model->setCustomUsageName(sample(0x09, 0x01), "Second");
    model->setCustomUsageName(sample(0x10000, 0), "Wrapped");
    model->setCustomUsageName(sample(0x100000000, 0), "Refused");
    model->setCustomUsageName(sample(0, -1), "Refused");
    const AppModel::CustomUsageMap expected{
        {{2321, 3100}, {{0x000C00E9, "Mute"}, {0x00090001, "Second"}, {0, "Wrapped"}}},
        {{0x1532, 0x022B}, {{0x00090001, "SIDE"}}}};
    EXPECT_EQ(model->customUsageMap(), expected);
    EXPECT_EQ(model->inputSource().hidSource().customUsageMap(), expected);
    EXPECT_EQ(readFile(usagesPath()),
              R"({"2321-3100":{"0000":"Wrapped","90001":"Second","C00E9":"Mute"},"5426-555":{"90001":"SIDE"}})");
    model.reset();
    start();
    EXPECT_EQ(model->inputSource().hidSource().customUsageMap(), expected);
}

TEST_F(CustomUsagesTest, LoadingAgainTakesTheFileAsItIsNowAndSavingWritesTheMap)
{
    start();
    model->setCustomUsageName(sample(9, 1), "One");
    writeFile(usagesPath(), R"({"2321-3100": {"90002": "Two"}})");
    model->loadCustomUsages();
    const AppModel::CustomUsageMap expected{{{2321, 3100}, {{0x00090002, "Two"}}}};
    EXPECT_EQ(model->inputSource().hidSource().customUsageMap(), expected);
    ASSERT_TRUE(QFile::remove(usagesPath()));
    model->saveCustomUsages();
    EXPECT_EQ(readFile(usagesPath()), R"({"2321-3100":{"90002":"Two"}})");
}

TEST_F(CustomUsagesTest, ADamagedFileIsKeptUnderAFreeNameWhateverIsInTheWay)
{
    const QByteArray damaged = R"({"2321-3100": {"90001": 7}})";
    writeFile(usagesPath(), damaged);
    // Something at the kept copy's name: it stays, and the copy takes the next name.
    ASSERT_TRUE(QDir(supportDir.path()).mkpath("custom_usages.json.damaged/x"));
    writeFile(usagesPath() + ".damaged-2", "earlier");
    start();
    EXPECT_TRUE(model->customUsageMap().isEmpty());
    EXPECT_EQ(readFile(usagesPath() + ".damaged-3"), damaged);
    EXPECT_EQ(readFile(usagesPath() + ".damaged-2"), "earlier");
    EXPECT_TRUE(QFileInfo(usagesPath() + ".damaged/x").isDir());
    EXPECT_TRUE(logMessages().join('\n').contains("custom_usages.json could not be used and was kept as "
                                                   "custom_usages.json.damaged-3: its content is not valid ("))
        << logMessages().join('\n').toStdString();

    model->setCustomUsageName(sample(9, 2), "Two");
    EXPECT_EQ(readFile(usagesPath()), R"({"2321-3100":{"90002":"Two"}})");
}

TEST(CustomUsageFileTest, KeysFollowTheirTextRulesAndDocumentsOfTheWrongShapeFailWhole)
{
    EXPECT_EQ(CustomUsageFile::usageKeyText(0xFF000001), "FF000001");
    EXPECT_EQ(CustomUsageFile::parseUsageKey("+c00E9"), 0x000C00E9u);
    EXPECT_EQ(CustomUsageFile::parseUsageKey("-0"), 0u);
    EXPECT_EQ(CustomUsageFile::parseUsageKey("00000000FFFFFFFF"), 0xFFFFFFFFu);
    for (const char* bad : {"", "+", "-1", "zz", "0x10", "100000000", " 10"})
        EXPECT_EQ(CustomUsageFile::parseUsageKey(QString::fromLatin1(bad)), std::nullopt) << bad;

    EXPECT_EQ(CustomUsageFile::parseDeviceKey("5426-0555"), (VendorProduct{5426, 555}));
    // Empty pieces fall away, so extra separators do not matter.
    EXPECT_EQ(CustomUsageFile::parseDeviceKey("-12--34-"), (VendorProduct{12, 34}));
    for (const char* bad : {"12-34-56", "abc-1", "12", "1- 2", "1-99999999999999999999"})
        EXPECT_EQ(CustomUsageFile::parseDeviceKey(QString::fromLatin1(bad)), std::nullopt) << bad;

    for (const char* bad : {"", "[]", R"({"1-2": []})", R"({"1-2": {"1": 5}})", R"({"x": {"1": null}})"})
        EXPECT_THROW(CustomUsageFile::decode(bad), json::DecodeError) << bad;
}

} // namespace
