// The current-mappings list's filter and natural row order.

#include "ui/mapping/MappingOrder.h"

#include <gtest/gtest.h>

namespace velmor {
namespace {

MappingEntry entry(const QString& buttonId, const QString& toolName, const QString& device = QStringLiteral("tartarus_v2"))
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = toolName;
    return {ButtonMapping{QUuid::createUuid(), device, buttonId, tool.id}, tool};
}

QStringList buttons(const QList<MappingEntry>& entries)
{
    QStringList ids;
    for (const MappingEntry& e : entries)
        ids.append(e.mapping.buttonId);
    return ids;
}

QStringList tools(const QList<MappingEntry>& entries)
{
    QStringList names;
    for (const MappingEntry& e : entries)
        names.append(e.tool.name);
    return names;
}

TEST(MappingOrderTest, ButtonIdsSortByTheValueOfTheirDigitRuns)
{
    EXPECT_EQ(buttons(mappingOrder::sorted({entry("K1", "a"), entry("K10", "b"), entry("K2", "c")})),
              (QStringList{"K1", "K2", "K10"}));
    // Keypad keys, thumb buttons and SpeechMike buttons as the store holds them.
    const QList<MappingEntry> mixed{entry("K20", "a"), entry("THUMB_UP", "b"), entry("K03", "c"), entry("REC", "d"),
                                    entry("FWD", "f"), entry("thumb_down", "g"), entry("K100", "h")};
    EXPECT_EQ(buttons(mappingOrder::sorted(mixed)),
              (QStringList{"FWD", "K03", "K20", "K100", "REC", "thumb_down", "THUMB_UP"}));
    EXPECT_LT(mappingOrder::compareButtonIds("k2", "K10"), 0) << "case decides nothing while the digits differ";
    EXPECT_LT(mappingOrder::compareButtonIds("K1", "K1A"), 0) << "a prefix comes first";
    EXPECT_TRUE(mappingOrder::sorted({}).isEmpty());
}

TEST(MappingOrderTest, EqualButtonIdsKeepTheirStoredOrder)
{
    QList<MappingEntry> list;
    for (int i = 0; i < 40; ++i) // long enough for a merge sort to merge
        list.append(entry(i % 2 ? QStringLiteral("K2") : QStringLiteral("K1"), QString::number(i)));
    const QList<MappingEntry> ordered = mappingOrder::sorted(list);
    QStringList expected;
    for (int i = 0; i < 40; i += 2)
        expected.append(QString::number(i));
    for (int i = 1; i < 40; i += 2)
        expected.append(QString::number(i));
    EXPECT_EQ(tools(ordered), expected);
}

TEST(MappingOrderTest, FilterMatchesToolNameOrButtonIdInAnyCaseWithoutTrimming)
{
    const QList<MappingEntry> entries{entry("K01", "Zoom"), entry("ZOOM_KEY", "Pan"), entry("K02", "Window Level"),
                                      entry("K 3", "Cine"), entry("K04", "Straße")};
    EXPECT_EQ(tools(mappingOrder::filtered(entries, QString())), tools(entries));
    EXPECT_EQ(tools(mappingOrder::filtered(entries, QStringLiteral("zoom"))), (QStringList{"Zoom", "Pan"}));
    EXPECT_EQ(tools(mappingOrder::filtered(entries, QStringLiteral("k0"))), (QStringList{"Zoom", "Window Level", "Straße"}))
        << "the first characters of a button id keep every entry on such buttons, whatever the tool";
    EXPECT_EQ(tools(mappingOrder::filtered(entries, QStringLiteral(" "))), (QStringList{"Window Level", "Cine"}));
    EXPECT_EQ(tools(mappingOrder::filtered(entries, QStringLiteral("STRASSE"))), QStringList{}) << "no folding beyond case";
    EXPECT_EQ(tools(mappingOrder::filtered(entries, QStringLiteral("STRAßE"))), QStringList{"Straße"});

    // Filtered, then sorted.
    EXPECT_EQ(buttons(mappingOrder::visibleEntries(entries, QStringLiteral("o"))), (QStringList{"K01", "K02", "ZOOM_KEY"}));
}

} // namespace
} // namespace velmor
