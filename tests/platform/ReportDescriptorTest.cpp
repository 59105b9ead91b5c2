#include "platform/hid/ReportDescriptor.h"
#include "support/HidDescriptors.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using namespace velmor::hid;
using velmor::test::hid::bytes;
namespace descriptors = velmor::test::hid;

using Kind = ReportElement::Kind;
using Role = ReportElement::Role;

namespace {

QList<ReportElement> elementsWhere(const ReportDescriptor& descriptor, Kind kind, Role role)
{
    QList<ReportElement> result;
    for (const ReportElement& element : descriptor.elements()) {
        if (element.kind == kind && element.role == role)
            result.append(element);
    }
    return result;
}

} // namespace

TEST(ReportDescriptor, BootKeyboardElementsOffsetsAndSizes)
{
    const ReportDescriptor descriptor = ReportDescriptor::parse(descriptors::bootKeyboard());
    EXPECT_FALSE(descriptor.usesReportIds());
    EXPECT_EQ(descriptor.primaryUsagePage(), 0x01u);
    EXPECT_EQ(descriptor.primaryUsage(), 0x06u);
    EXPECT_EQ(descriptor.maxInputReportSize(), 8);
    EXPECT_EQ(descriptor.maxOutputReportSize(), 1);
    EXPECT_EQ(descriptor.maxFeatureReportSize(), 0);

    // Cookies number the elements from 1 in descriptor order.
    for (qsizetype i = 0; i < descriptor.elements().size(); ++i)
        ASSERT_EQ(descriptor.elements()[i].cookie, quint32(i + 1));

    const auto modifiers = elementsWhere(descriptor, Kind::Input, Role::Variable);
    ASSERT_EQ(modifiers.size(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(modifiers[i].usagePage, 0x07u);
        EXPECT_EQ(modifiers[i].usage, 0xE0u + i);
        EXPECT_EQ(modifiers[i].bitOffset, quint32(i));
        EXPECT_EQ(modifiers[i].reportSize, 1u);
    }

    const auto leds = elementsWhere(descriptor, Kind::Output, Role::Variable);
    ASSERT_EQ(leds.size(), 5); // the 3 padding bits make none
    EXPECT_EQ(leds.first().usagePage, 0x08u);
    EXPECT_EQ(leds.last().bitOffset, 4u);

    // The reserved byte is skipped: arraySlots start at bit 16.
    const auto arraySlots = elementsWhere(descriptor, Kind::Input, Role::ArraySlot);
    ASSERT_EQ(arraySlots.size(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(arraySlots[i].usagePage, 0x07u);
        EXPECT_EQ(arraySlots[i].usage, ReportElement::arraySlotUsage);
        EXPECT_EQ(arraySlots[i].bitOffset, quint32(16 + 8 * i));
        EXPECT_EQ(arraySlots[i].reportSize, 8u);
        EXPECT_TRUE(arraySlots[i].isArray());
    }

    // One element per usage the arraySlots can select, but none for usage 0.
    const auto usages = elementsWhere(descriptor, Kind::Input, Role::ArrayUsage);
    ASSERT_EQ(usages.size(), 255);
    EXPECT_EQ(usages.first().usage, 0x01u);
    EXPECT_EQ(usages.first().selector, 1);
    EXPECT_EQ(usages.last().usage, 0xFFu);
    EXPECT_EQ(usages.last().selector, 255); // Logical Maximum 0x00FF is 255, not -1
    EXPECT_EQ(usages.last().bitOffset, 16u);
    EXPECT_EQ(usages.last().reportCount, 6u);
    EXPECT_EQ(usages.last().mainItem, arraySlots.first().mainItem);
    EXPECT_NE(usages.last().mainItem, modifiers.first().mainItem);
}

TEST(ReportDescriptor, ReportIdsPrefixEveryReportAndCountInSizes)
{
    const ReportDescriptor descriptor = ReportDescriptor::parse(descriptors::dictationVendor());
    EXPECT_TRUE(descriptor.usesReportIds());
    EXPECT_EQ(descriptor.maxInputReportSize(), 9);
    EXPECT_EQ(descriptor.maxFeatureReportSize(), 91);
    EXPECT_EQ(descriptor.reportSize(Kind::Input, 1), 9);
    EXPECT_EQ(descriptor.reportSize(Kind::Input, 2), 0);
    EXPECT_EQ(descriptor.primaryUsagePage(), 0xFFA1u);
    EXPECT_EQ(descriptor.primaryUsage(), 0x01u);

    // One usage over eight fields is one element covering all of them.
    ASSERT_EQ(descriptor.elements().size(), 2);
    const ReportElement& status = descriptor.elements()[0];
    EXPECT_EQ(status.reportId, 1);
    EXPECT_EQ(status.usage, 0x03u);
    EXPECT_EQ(status.bitOffset, 8u); // after the id byte
    EXPECT_EQ(status.reportCount, 8u);
    EXPECT_EQ(status.bitLength(), 64u);
    const ReportElement& feature = descriptor.elements()[1];
    EXPECT_EQ(feature.kind, Kind::Feature);
    EXPECT_EQ(feature.reportId, 2);
    EXPECT_EQ(feature.bitOffset, 8u); // each report id has its own bit positions
}

TEST(ReportDescriptor, KeypadFeatureReportWithoutIdIsNinetyBytes)
{
    const ReportDescriptor descriptor = ReportDescriptor::parse(descriptors::keypad());
    EXPECT_EQ(descriptor.maxFeatureReportSize(), 90);
    EXPECT_EQ(descriptor.reportSize(Kind::Feature, 0), 90);
    EXPECT_EQ(descriptor.maxInputReportSize(), 8);
    // The keyboard collection comes first, so it is the primary usage.
    EXPECT_EQ(descriptor.primaryUsagePage(), 0x01u);
    EXPECT_EQ(descriptor.primaryUsage(), 0x06u);
}

TEST(ReportDescriptor, ConsumerArrayAndMouseAxes)
{
    const ReportDescriptor consumer = ReportDescriptor::parse(descriptors::consumerControl());
    EXPECT_EQ(consumer.maxInputReportSize(), 3);
    const auto usages = elementsWhere(consumer, Kind::Input, Role::ArrayUsage);
    ASSERT_EQ(usages.size(), 0x3FF);
    EXPECT_EQ(usages.last().usagePage, 0x0Cu);
    EXPECT_EQ(usages.last().usage, 0x3FFu);
    EXPECT_EQ(usages.last().reportId, 2);

    const ReportDescriptor mouse = ReportDescriptor::parse(descriptors::wheelMouse());
    EXPECT_EQ(mouse.primaryUsage(), 0x02u); // the nested physical collection does not count
    EXPECT_EQ(mouse.maxInputReportSize(), 4);
    const auto values = elementsWhere(mouse, Kind::Input, Role::Variable);
    ASSERT_EQ(values.size(), 8);
    const ReportElement& wheel = values.last();
    EXPECT_EQ(wheel.usagePage, 0x01u);
    EXPECT_EQ(wheel.usage, 0x38u);
    EXPECT_EQ(wheel.bitOffset, 24u);
    EXPECT_EQ(wheel.logicalMinimum, -127);
    EXPECT_EQ(wheel.logicalMaximum, 127);
    EXPECT_TRUE(wheel.isRelative());
    EXPECT_FALSE(values.first().isRelative());
}

TEST(ReportDescriptor, UsagePagesRangesAndGlobalStack)
{
    const ReportDescriptor descriptor = ReportDescriptor::parse(bytes({
        0x05, 0x01,                   // Usage Page (Generic Desktop)
        0x09, 0x30,                   // Usage (X): page 1
        0x05, 0x09,                   // Usage Page (Button)
        0x09, 0x01,                   // Usage (1): page 9
        0x0B, 0x38, 0x00, 0x01, 0x00, // Usage (0x00010038): its own page 1
        0x1B, 0x04, 0x00, 0x07, 0x00, // Usage Minimum (0x00070004)
        0x2B, 0x05, 0x00, 0x07, 0x00, // Usage Maximum (0x00070005)
        0x15, 0xFF,                   // Logical Minimum (-1)
        0x25, 0xFF,                   // Logical Maximum (-1 with a negative minimum)
        0x75, 0x04,                   // Report Size (4)
        0x95, 0x05,                   // Report Count (5)
        0xA4,                         // Push
        0x75, 0x10,                   // Report Size (16)
        0x15, 0x00,                   // Logical Minimum (0)
        0x81, 0x02,                   // Input: X, button 1, wheel, 0x70004, 0x70005
        0xB4,                         // Pop: size 4, minimum -1 again
        0x09, 0x02,                   // Usage (2)
        0x95, 0x01,                   // Report Count (1)
        0x81, 0x02,                   // Input
    }));
    const auto& elements = descriptor.elements();
    ASSERT_EQ(elements.size(), 6);
    const QList<std::pair<quint32, quint32>> expected{{0x01, 0x30}, {0x09, 0x01}, {0x01, 0x38},
                                                      {0x07, 0x04}, {0x07, 0x05}, {0x09, 0x02}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(elements[i].usagePage, expected[i].first) << i;
        EXPECT_EQ(elements[i].usage, expected[i].second) << i;
    }
    EXPECT_EQ(elements[4].reportSize, 16u);
    EXPECT_EQ(elements[4].logicalMinimum, 0);
    EXPECT_EQ(elements[4].logicalMaximum, 255); // 0xFF unsigned once the minimum is 0
    EXPECT_EQ(elements[5].reportSize, 4u);
    EXPECT_EQ(elements[5].bitOffset, 80u);
    EXPECT_EQ(elements[5].logicalMinimum, -1);
    EXPECT_EQ(elements[5].logicalMaximum, -1);
    EXPECT_EQ(descriptor.primaryUsage(), 0u); // no application collection
    EXPECT_EQ(descriptor.maxInputReportSize(), 11);
}

TEST(ReportDescriptor, VariableWithMoreUsagesThanFieldsTakesTheFirstOnes)
{
    const ReportDescriptor descriptor = ReportDescriptor::parse(bytes({
        0x05, 0x09, 0x19, 0x01, 0x29, 0x08, // Buttons 1...8
        0x75, 0x01, 0x95, 0x03, 0x81, 0x02, // three 1-bit fields
        0x09, 0x07, 0x81, 0x02,             // the unused usages do not carry over
    }));
    ASSERT_EQ(descriptor.elements().size(), 4);
    EXPECT_EQ(descriptor.elements()[2].usage, 3u);
    EXPECT_EQ(descriptor.elements()[3].usage, 7u);
    EXPECT_EQ(descriptor.elements()[3].reportCount, 3u);
    EXPECT_EQ(descriptor.elements()[3].bitOffset, 3u);
}

TEST(ReportDescriptor, MalformedDescriptorsAreRejected)
{
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const QList<Case> cases{
        {"empty", {}},
        {"item data missing", bytes({0x05})},
        {"four-byte item cut short", bytes({0x05, 0x01, 0x27, 0xFF, 0xFF})},
        {"long item cut short", bytes({0xFE, 0x10, 0x00, 0x01})},
        {"end without collection", bytes({0xC0})},
        {"collection not ended", bytes({0x09, 0x06, 0xA1, 0x01, 0x81, 0x02})},
        {"pop without push", bytes({0xB4})},
        {"report id 0", bytes({0x85, 0x00})},
        {"report id above 255", bytes({0x86, 0x00, 0x01})},
        {"unknown global item", bytes({0xF4})},
        {"reversed usage range", bytes({0x19, 0x05, 0x29, 0x01})},
        {"usage range across pages", bytes({0x1B, 0x01, 0x00, 0x07, 0x00, 0x2B, 0x01, 0x00, 0x09, 0x00})},
        {"too many usages",
         bytes({0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x19, 0x00, 0x29, 0x01})},
        {"report beyond the size limit", bytes({0x75, 0x08, 0x96, 0x00, 0x40, 0x81, 0x02})},
        {"report size overflowing", bytes({0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x03})},
    };
    for (const Case& c : cases)
        EXPECT_THROW(ReportDescriptor::parse(c.bytes), ReportDescriptorError) << c.name;

    // Just inside the bounds.
    EXPECT_NO_THROW(ReportDescriptor::parse(bytes({0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x75, 0x01, 0x95, 0x01, 0x81, 0x00})));
    EXPECT_EQ(ReportDescriptor::parse(bytes({0x75, 0x08, 0x96, 0xFF, 0x3F, 0x81, 0x03})).maxInputReportSize(), 16383);

    try {
        ReportDescriptor::parse(bytes({0x05, 0x01, 0xA1, 0x01, 0xC0, 0xC0}));
        FAIL() << "unbalanced end collection parsed";
    } catch (const ReportDescriptorError& error) {
        EXPECT_EQ(error.offset(), 5);
    }
}

TEST(ReportDescriptor, UnknownMainItemsAreSkippedAndToldOfOnce)
{
    const QByteArray button = bytes({0x05, 0x09, 0x09, 0x01, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02,
                                     0x75, 0x07, 0x81, 0x03});
    EXPECT_TRUE(ReportDescriptor::parse(button).warning().isEmpty());

    const ReportDescriptor trailing = ReportDescriptor::parse(button + bytes({0x00}));
    EXPECT_EQ(trailing.maxInputReportSize(), 1);
    ASSERT_EQ(trailing.elements().size(), 1);
    EXPECT_EQ(trailing.elements()[0].usage, 0x01u);
    EXPECT_EQ(trailing.warning(), "report descriptor, byte 18: unknown main item tag 0 skipped (1 in all)");

    // The first one is named, all are counted; the usage before a skipped item
    // is dropped with it, as after any main item.
    const ReportDescriptor two = ReportDescriptor::parse(bytes({0x05, 0x09, 0x09, 0x05, 0xD1, 0x7F, 0x75, 0x08, 0x95,
                                                                0x01, 0x81, 0x02, 0xF0}));
    EXPECT_EQ(two.warning(), "report descriptor, byte 4: unknown main item tag 13 skipped (2 in all)");
    ASSERT_EQ(two.elements().size(), 1);
    EXPECT_NE(two.elements()[0].usage, 0x05u);
    EXPECT_EQ(two.elements()[0].bitOffset, 0u); // a skipped item takes no bits
}

TEST(ReportDescriptor, EachKindOfReportHasIdsOrNotApart)
{
    // Input without an id, feature report 1.
    const ReportDescriptor featureNumbered = ReportDescriptor::parse(bytes({
        0x05, 0x09, 0x09, 0x01, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02, 0x75, 0x07, 0x81, 0x03,
        0x85, 0x01, 0x09, 0x02, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02,
    }));
    EXPECT_FALSE(featureNumbered.usesReportIds(Kind::Input));
    EXPECT_TRUE(featureNumbered.usesReportIds(Kind::Feature));
    EXPECT_FALSE(featureNumbered.usesReportIds(Kind::Output));
    EXPECT_TRUE(featureNumbered.usesReportIds());
    EXPECT_EQ(featureNumbered.maxInputReportSize(), 1);
    EXPECT_EQ(featureNumbered.reportSize(Kind::Input, 0), 1);
    EXPECT_EQ(featureNumbered.maxFeatureReportSize(), 2);
    EXPECT_EQ(featureNumbered.reportSize(Kind::Feature, 1), 2);
    ASSERT_EQ(featureNumbered.elements().size(), 2);
    EXPECT_EQ(featureNumbered.elements()[0].bitOffset, 0u);
    EXPECT_EQ(featureNumbered.elements()[0].reportId, 0);
    EXPECT_EQ(featureNumbered.elements()[1].bitOffset, 8u);

    // Input report 2, an output report (LEDs) and a feature report without ids.
    const ReportDescriptor inputNumbered = ReportDescriptor::parse(bytes({
        0x05, 0x08, 0x09, 0x01, 0x75, 0x08, 0x95, 0x01, 0x91, 0x02, 0x09, 0x02, 0xB1, 0x02,
        0x85, 0x02, 0x05, 0x09, 0x09, 0x01, 0x96, 0x03, 0x00, 0x81, 0x02,
    }));
    EXPECT_TRUE(inputNumbered.usesReportIds(Kind::Input));
    EXPECT_FALSE(inputNumbered.usesReportIds(Kind::Output));
    EXPECT_FALSE(inputNumbered.usesReportIds(Kind::Feature));
    EXPECT_EQ(inputNumbered.maxInputReportSize(), 4);
    EXPECT_EQ(inputNumbered.maxOutputReportSize(), 1);
    EXPECT_EQ(inputNumbered.maxFeatureReportSize(), 1);
    EXPECT_EQ(elementsWhere(inputNumbered, Kind::Output, Role::Variable).value(0).bitOffset, 0u);
    EXPECT_EQ(elementsWhere(inputNumbered, Kind::Input, Role::Variable).value(0).bitOffset, 8u);
}

TEST(ReportDescriptor, CutOrCorruptedDescriptorsFailCleanly)
{
    // Every prefix of a real descriptor, and random bytes: parsing either
    // succeeds or throws ReportDescriptorError; the sanitizers watch the reads.
    for (const QByteArray& whole : {descriptors::keypad(), descriptors::wheelMouse(), descriptors::dictationVendor()}) {
        for (qsizetype length = 0; length < whole.size(); ++length) {
            try {
                ReportDescriptor::parse(whole.left(length));
            } catch (const ReportDescriptorError&) {
            }
        }
    }
    QRandomGenerator random(13);
    for (int round = 0; round < 2000; ++round) {
        QByteArray noise(qsizetype(random.bounded(1, 64)), Qt::Uninitialized);
        for (char& byte : noise)
            byte = char(random.bounded(256));
        try {
            const ReportDescriptor descriptor = ReportDescriptor::parse(noise);
            for (const ReportElement& element : descriptor.elements())
                ASSERT_LE(quint64(element.bitOffset) + element.bitLength(),
                          quint64(descriptor.reportSize(element.kind, element.reportId)) * 8);
        } catch (const ReportDescriptorError&) {
        }
    }
}
