#include "platform/hid/ReportDecoder.h"
#include "support/HidDescriptors.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

using namespace velmor::hid;
using velmor::test::hid::bytes;
namespace descriptors = velmor::test::hid;

namespace {

// "page:usage=value" per delivered value; array slots read "page:slot#cookie".
QString describe(const QList<ReportDecoder::Value>& values)
{
    QStringList parts;
    for (const ReportDecoder::Value& v : values) {
        const QString usage = v.element.role == ReportElement::Role::ArraySlot
            ? QStringLiteral("slot#%1").arg(v.element.cookie)
            : QString::number(v.element.usage, 16);
        parts << QStringLiteral("%1:%2=%3").arg(QString::number(v.element.usagePage, 16), usage).arg(v.value);
    }
    return parts.join(QLatin1Char(' '));
}

ReportDecoder decoderFor(const QByteArray& descriptor)
{
    return ReportDecoder(ReportDescriptor::parse(descriptor));
}

} // namespace

TEST(ReportDecoder, KeyboardDeliversModifiersSlotsAndUsagesEnteringOrLeaving)
{
    ReportDecoder decoder = decoderFor(descriptors::bootKeyboard());
    // Slots are cookies 14...19 (after 8 modifiers and 5 LEDs).

    // Left shift + A: the modifier, the slot, then the usage entering.
    EXPECT_EQ(describe(decoder.decode(bytes({0x02, 0x00, 0x04, 0, 0, 0, 0, 0}))), "7:e1=1 7:slot#14=4 7:4=1");
    // The same report again changes nothing.
    EXPECT_EQ(describe(decoder.decode(bytes({0x02, 0x00, 0x04, 0, 0, 0, 0, 0}))), "");
    // B joins in the second slot.
    EXPECT_EQ(describe(decoder.decode(bytes({0x02, 0x00, 0x04, 0x05, 0, 0, 0, 0}))), "7:slot#15=5 7:5=1");
    // A is let go and B moves to the first slot: B stays held, A leaves.
    EXPECT_EQ(describe(decoder.decode(bytes({0x00, 0x00, 0x05, 0x00, 0, 0, 0, 0}))),
              "7:e1=0 7:slot#14=5 7:slot#15=0 7:4=0");
    // The reserved byte is padding, not a value.
    EXPECT_EQ(describe(decoder.decode(bytes({0x00, 0xFF, 0x05, 0x00, 0, 0, 0, 0}))), "");
    // Both slots naming the same key hold it once; emptying them releases it once.
    EXPECT_EQ(describe(decoder.decode(bytes({0x00, 0x00, 0x05, 0x05, 0, 0, 0, 0}))), "7:slot#15=5");
    EXPECT_EQ(describe(decoder.decode(bytes({0, 0, 0, 0, 0, 0, 0, 0}))), "7:slot#14=0 7:slot#15=0 7:5=0");
    EXPECT_EQ(decoder.value(4 + 19), 0); // usage 4's element
}

TEST(ReportDecoder, KeyboardRolloverKeepsThePreviousState)
{
    ReportDecoder decoder = decoderFor(descriptors::bootKeyboard());
    decoder.decode(bytes({0, 0, 0x1E, 0x1F, 0, 0, 0, 0}));
    // Too many keys: every slot reads ErrorRollOver, modifiers still count.
    EXPECT_EQ(describe(decoder.decode(bytes({0x01, 0, 1, 1, 1, 1, 1, 1}))), "7:e0=1");
    EXPECT_EQ(describe(decoder.decode(bytes({0x01, 0, 0x1F, 0, 0, 0, 0, 0}))), "7:slot#14=31 7:slot#15=0 7:1e=0");
}

TEST(ReportDecoder, ShortReportsKeepTheFieldsTheyDoNotHold)
{
    ReportDecoder decoder = decoderFor(descriptors::bootKeyboard());
    decoder.decode(bytes({0, 0, 0x04, 0x05, 0x06, 0, 0, 0}));
    // Four bytes hold the modifiers and the first two slots; slot 3 still holds 6.
    EXPECT_EQ(describe(decoder.decode(bytes({0, 0, 0x07, 0x00}))), "7:slot#14=7 7:slot#15=0 7:4=0 7:5=0 7:7=1");
    EXPECT_EQ(describe(decoder.decode({})), "");
}

TEST(ReportDecoder, MouseAxesAreSignedAndRelativeValuesRepeat)
{
    ReportDecoder decoder = decoderFor(descriptors::wheelMouse());
    // Button 1 and X -1 (0xFF): sign-extended because the minimum is negative.
    EXPECT_EQ(describe(decoder.decode(bytes({0x01, 0xFF, 0x00, 0x01}))), "9:1=1 1:30=-1 1:38=1");
    // Relative values count every time they are not 0, even when unchanged;
    // padding bits above the buttons are ignored.
    EXPECT_EQ(describe(decoder.decode(bytes({0xE1, 0xFF, 0x00, 0x01}))), "1:30=-1 1:38=1");
    // Back to rest: the zeros are delivered once.
    EXPECT_EQ(describe(decoder.decode(bytes({0x00, 0x00, 0x00, 0x00}))), "9:1=0 1:30=0 1:38=0");
    EXPECT_EQ(describe(decoder.decode(bytes({0x00, 0x00, 0x00, 0x00}))), "");
    EXPECT_EQ(describe(decoder.decode(bytes({0x10, 0x80, 0x7F, 0x81}))), "9:5=1 1:30=-128 1:31=127 1:38=-127");
}

TEST(ReportDecoder, FieldsAcrossByteBoundariesAndSignExtension)
{
    // Two 12-bit signed axes after a 4-bit button field: the second axis spans
    // bytes 2 and 3.
    ReportDecoder decoder = decoderFor(bytes({
        0x05, 0x09, 0x19, 0x01, 0x29, 0x04, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x04, 0x81, 0x02,
        0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x16, 0x00, 0xF8, 0x26, 0xFF, 0x07, 0x75, 0x0C, 0x95, 0x02, 0x81, 0x02,
    }));
    // Buttons 0b1010, X = 0xFFF (-1), Y = 0x800 (-2048).
    EXPECT_EQ(describe(decoder.decode(bytes({0xFA, 0xFF, 0x00, 0x08}))), "9:2=1 9:4=1 1:30=-1 1:31=-2048");
    // X = 0x7FF (2047), Y = 0x001.
    EXPECT_EQ(describe(decoder.decode(bytes({0xF0, 0x7F, 0x01, 0x00}))), "9:2=0 9:4=0 1:30=2047 1:31=1");
}

TEST(ReportDecoder, ReportIdsSelectTheElementsAndWideWordsStayWhole)
{
    ReportDecoder decoder = decoderFor(descriptors::dictationVendor());
    // The status word: eight bytes, lowest first; bit 63 set and bit 26 set.
    const QList<ReportDecoder::Value> values = decoder.decode(bytes({0x01, 0x00, 0x00, 0x00, 0x04, 0, 0, 0, 0x80}));
    ASSERT_EQ(values.size(), 1);
    EXPECT_EQ(values[0].element.usage, 0x03u);
    EXPECT_EQ(quint64(values[0].value), 0x8000000004000000ull);

    // Unknown report ids, the feature report's id, an id byte alone and an
    // empty read deliver nothing and change nothing.
    EXPECT_TRUE(decoder.decode(bytes({0x07, 0, 0, 0, 0, 0, 0, 0, 0})).isEmpty());
    EXPECT_TRUE(decoder.decode(bytes({0x02, 0, 0, 0, 0, 0, 0, 0, 0})).isEmpty());
    EXPECT_TRUE(decoder.decode(bytes({0x01})).isEmpty());
    EXPECT_TRUE(decoder.decode({}).isEmpty());
    EXPECT_EQ(describe(decoder.decode(bytes({0x01, 0, 0, 0, 0, 0, 0, 0, 0}))), "ffa1:3=0");
}

TEST(ReportDecoder, ConsumerArrayWithWideSlots)
{
    ReportDecoder decoder = decoderFor(descriptors::consumerControl());
    EXPECT_EQ(describe(decoder.decode(bytes({0x02, 0xE9, 0x00}))), "c:slot#1=233 c:e9=1");
    EXPECT_EQ(describe(decoder.decode(bytes({0x02, 0x23, 0x02}))), "c:slot#1=547 c:e9=0 c:223=1");
    // A value beyond the logical maximum selects nothing.
    EXPECT_EQ(describe(decoder.decode(bytes({0x02, 0x00, 0x04}))), "c:slot#1=1024 c:223=0");
}

TEST(ReportDecoder, NeighbouringArraysKeepTheirOwnUsages)
{
    // Two one-slot arrays side by side with different usage lists: a selector
    // means a different usage in each.
    ReportDecoder decoder = decoderFor(bytes({
        0x05, 0x07, 0x15, 0x00, 0x25, 0x02, 0x75, 0x08, 0x95, 0x01,
        0x19, 0x00, 0x29, 0x02, 0x81, 0x00, // selectors 1, 2 -> keys 1, 2 (error codes)
        0x19, 0x1E, 0x29, 0x20, 0x81, 0x00, // selectors 0, 1, 2 -> keys 0x1E, 0x1F, 0x20
    }));
    EXPECT_EQ(describe(decoder.decode(bytes({0x00, 0x02}))), "7:slot#4=2 7:20=1");
    EXPECT_EQ(describe(decoder.decode(bytes({0x00, 0x00}))), "7:slot#4=0 7:1e=1 7:20=0");
}

TEST(ReportDecoder, UsagesGivenBeforeTheirPageTakeThePageOfTheMainItem)
{
    // Keys listed while the LED page is in force, then the keyboard page: the
    // keys are keyboard usages, and the collection's usage the desktop page's.
    const ReportDescriptor descriptor = ReportDescriptor::parse(bytes({
        0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x08, 0x19, 0x00, 0x29, 0x65, 0x05, 0x07,
        0x15, 0x00, 0x25, 0x65, 0x75, 0x08, 0x95, 0x01, 0x81, 0x00, 0xC0,
    }));
    EXPECT_EQ(descriptor.primaryUsagePage(), 0x01u);
    EXPECT_EQ(descriptor.primaryUsage(), 0x06u);
    ReportDecoder decoder(descriptor);
    EXPECT_EQ(describe(decoder.decode(bytes({0x08}))), "7:slot#1=8 7:8=1");

    // A collection's usage given before any page takes the page that follows.
    const ReportDescriptor late = ReportDescriptor::parse(bytes({0x09, 0x02, 0x05, 0x01, 0xA1, 0x01, 0xC0}));
    EXPECT_EQ(late.primaryUsagePage(), 0x01u);
    EXPECT_EQ(late.primaryUsage(), 0x02u);
}

TEST(ReportDecoder, ArraySlotsNoReportHeldSelectNothing)
{
    // Two slots of one vendor usage at selector 0.
    const QByteArray descriptor = bytes({
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x01, 0x15, 0x00, 0x25, 0x01,
        0x75, 0x08, 0x95, 0x02, 0x81, 0x00, 0xC0,
    });
    ReportDecoder decoder = decoderFor(descriptor);
    // A one-byte report holds only slot 1; slot 2 was never read.
    EXPECT_EQ(describe(decoder.decode(bytes({0x05}))), "ff00:slot#1=5");
    EXPECT_EQ(describe(decoder.decode(bytes({0x01}))), "ff00:slot#1=1");

    // Once a full report filled slot 2, a short report keeps what it held.
    EXPECT_EQ(describe(decoder.decode(bytes({0x01, 0x00}))), "ff00:1=1");
    EXPECT_EQ(describe(decoder.decode(bytes({0x01}))), "");
    EXPECT_EQ(describe(decoder.decode(bytes({0x01, 0x01}))), "ff00:slot#2=1 ff00:1=0");
}

TEST(ReportDecoder, AnOversizedUsageRangeIsCutAtTheKernelsBoundNotRefused)
{
    // Two 16-bit consumer slots selecting Usage Minimum 1 ... Usage Maximum
    // 0xFFFF, as a real keyboard's fixed descriptor has them.
    const QByteArray array = bytes({0x15, 0x01, 0x27, 0xFF, 0xFF, 0x00, 0x00, 0x75, 0x10, 0x95, 0x02,
                                    0x19, 0x01, 0x2A, 0xFF, 0xFF, 0x81, 0x00});
    const QByteArray descriptor = bytes({0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01}) + array + bytes({0xC0});
    const ReportDescriptor parsed = ReportDescriptor::parse(descriptor);
    ASSERT_EQ(parsed.elements().size(), 2 + ReportDescriptor::maxUsages);
    EXPECT_EQ(parsed.elements().last().usage, quint32(ReportDescriptor::maxUsages));

    ReportDecoder decoder(parsed);
    EXPECT_EQ(describe(decoder.decode(bytes({0xE9, 0x00, 0xCD, 0x00}))), "c:slot#1=233 c:slot#2=205 c:cd=1 c:e9=1");
    // A selector past the cut selects nothing.
    EXPECT_EQ(describe(decoder.decode(bytes({0x00, 0x40, 0xCD, 0x00}))), "c:slot#1=16384 c:e9=0");

    // Two such arrays (the keyboard has them in two reports) stay within the
    // descriptor's element bound; with no room left in one main item, a usage
    // is still refused.
    const QByteArray twice = bytes({0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01}) + array +
                             bytes({0x85, 0x02}) + array + bytes({0xC0});
    EXPECT_EQ(ReportDescriptor::parse(twice).elements().size(), 2 * (2 + ReportDescriptor::maxUsages));
    EXPECT_THROW(ReportDescriptor::parse(bytes({0x19, 0x01, 0x2A, 0xFF, 0xFF, 0x09, 0x01})), ReportDescriptorError);
}
