// The mapping window's item models: rows follow the data one change at a time.

#include "ui/mapping/MappingListModel.h"
#include "ui/mapping/MappingListRowsMaker.h"
#include "support/TestSupport.h"
#include "ui/mapping/MappingDerivedData.h"
#include "ui/mapping/MappingToolListModel.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace velmor {
namespace {

struct Item {
    QString id;
    int value = 0;
    QString key() const { return id; }
    bool operator==(const Item&) const = default;
};

class ItemModel : public KeyedListModel<Item> {
public:
    QVariant data(const QModelIndex& index, int role) const override
    {
        const Item* item = rowAt(index);
        return item && role == Qt::DisplayRole ? QVariant(item->id) : QVariant();
    }
};

QList<Item> items(const QString& ids)
{
    QList<Item> list;
    for (const QChar id : ids)
        list.append({QString(id), 0});
    return list;
}

QString ids(const ItemModel& model)
{
    QString text;
    for (const Item& item : model.rows())
        text += item.id;
    return text;
}

TEST(MappingItemModelsTest, RowsChangeByRunsOfInsertionsAndRemovals)
{
    ItemModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

    model.setRows(items("abcdefgh"));
    EXPECT_EQ(inserted.size(), 1);
    // Filtering: two runs go.
    model.setRows(items("adeh"));
    EXPECT_EQ(ids(model), "adeh");
    EXPECT_EQ(removed.size(), 2);
    EXPECT_EQ(removed.last().at(1).toInt(), 1);
    EXPECT_EQ(removed.last().at(2).toInt(), 2);
    // Clearing the filter: the runs come back where they were.
    model.setRows(items("abcdefgh"));
    EXPECT_EQ(ids(model), "abcdefgh");
    EXPECT_EQ(inserted.size(), 3);
    // A favourite moves to the front: it leaves and comes back; nothing else is touched.
    const QPersistentModelIndex d = model.index(3);
    model.setRows(items("fabcdegh"));
    EXPECT_EQ(ids(model), "fabcdegh");
    EXPECT_EQ(moved.size(), 0);
    EXPECT_EQ(inserted.size(), 4);
    EXPECT_EQ(removed.size(), 3);
    EXPECT_EQ(d.row(), 4) << "a row that stays is followed";
    // A changed value is one dataChanged for its row.
    QList<Item> next = items("fabcdegh");
    next[3].value = 7;
    model.setRows(next);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.last().at(0).toModelIndex().row(), 3);
    EXPECT_EQ(reset.size(), 0);
    // Keys that repeat cannot be followed: the model resets.
    model.setRows(items("aab"));
    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(ids(model), "aab");
    model.setRows({});
    EXPECT_EQ(model.rowCount(), 0);
}

// Whatever lists follow one another (rows kept at either end, others between
// gone, new, moved or changed), the rows end up as the list, through changes the
// model tester accepts.
TEST(MappingItemModelsTest, AnyNextListIsReachedWithTheEndsKeptInPlace)
{
    ItemModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QRandomGenerator random(11);
    for (int round = 0; round < 300; ++round) {
        QList<Item> next = items(QStringLiteral("abcdefghijkl"));
        next.remove(0, random.bounded(3));
        next.resize(next.size() - random.bounded(3));
        for (int k = 0; k < 3 && !next.isEmpty(); ++k)
            if (random.bounded(2))
                next.removeAt(random.bounded(int(next.size())));
        if (next.size() > 2 && random.bounded(2))
            next.move(random.bounded(int(next.size())), random.bounded(int(next.size())));
        for (Item& item : next)
            item.value = random.bounded(2);
        model.setRows(next);
        ASSERT_EQ(model.rows(), next) << round;
    }
}

// Rows that move across a long list (a category changed, tools reordered past
// others) are the only rows that leave: every other row stays, however far the
// move, so a row a view is anchored on never leaves.
TEST(MappingItemModelsTest, OnlyTheRowsThatMoveLeave)
{
    ItemModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QList<Item> rows;
    for (int i = 0; i < 2'000; ++i)
        rows.append({QString::number(i), 0});
    model.setRows(rows);
    const QPersistentModelIndex anchor = model.index(1'500);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    // One row from the top to the bottom, past the anchor: one row leaves, one comes.
    rows.move(10, 1'990);
    model.setRows(rows);
    EXPECT_EQ(model.rows(), rows);
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(inserted.size(), 1);
    EXPECT_EQ(anchor.data().toString(), "1500");
    EXPECT_EQ(anchor.row(), 1'499);
    // Three rows from above the anchor to below it, two from below to above.
    rows.move(100, 1'700);
    rows.move(200, 1'800);
    rows.move(300, 1'900);
    rows.move(1'600, 50);
    rows.move(1'650, 60);
    model.setRows(rows);
    EXPECT_EQ(model.rows(), rows);
    EXPECT_EQ(removed.size(), 1 + 5);
    EXPECT_EQ(inserted.size(), 1 + 5);
    EXPECT_EQ(anchor.data().toString(), "1500");
    EXPECT_EQ(anchor.row(), 1'498);
}

RadiologyTool tool(const QString& name, bool favorite = false)
{
    RadiologyTool t;
    t.id = QUuid::createUuid();
    t.name = name;
    t.isFavorite = favorite;
    return t;
}

TEST(MappingItemModelsTest, ToolRowsCarryGroupsSelectionTheFirstMappingAndTheDragText)
{
    const RadiologyTool zoom = tool("Zoom", true);
    const RadiologyTool pan = tool("Pan");
    const QList<ToolGroup> groups{{QStringLiteral("⭐ Favorites"), {zoom}}, {QStringLiteral("Viewer"), {pan}}};
    const QList<ButtonMapping> mappings{{QUuid::createUuid(), "tartarus_v2", "K05", zoom.id},
                                        {QUuid::createUuid(), "tartarus_v2", "K02", zoom.id}};
    const QList<ToolListRow> rows = toolListRows(groups, pan.id, mappings);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_TRUE(rows[0].isHeader);
    EXPECT_EQ(rows[2].title, "Viewer");
    EXPECT_EQ(rows[1].mapping->buttonId, "K05") << "the earlier mapping in stored order";
    EXPECT_TRUE(rows[1].help().endsWith(QStringLiteral(" • Mapped to \u2068K05\u2069")));
    EXPECT_FALSE(rows[1].selected);
    EXPECT_TRUE(rows[3].selected);
    EXPECT_FALSE(rows[3].mapping.has_value());

    MappingToolListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRows(rows);
    EXPECT_FALSE(model.flags(model.index(0)).testFlag(Qt::ItemIsDragEnabled)) << "titles cannot be dragged";
    const std::unique_ptr<QMimeData> drag(model.mimeData({model.index(3)}));
    ASSERT_TRUE(drag);
    const QString text = drag->text();
    EXPECT_EQ(text, QStringLiteral("tool:") + pan.id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^tool:[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                    .match(text)
                    .hasMatch());
    EXPECT_EQ(model.data(model.index(1), Qt::ToolTipRole).toString(), rows[1].help());
}

// A tool list of any length makes its first rows at once and the rest as the view
// fetches them, group titles in their places; the same tools again change nothing.
TEST(MappingItemModelsTest, ALongToolListShowsItsFirstRowsAndTheRestAsTheyAreFetched)
{
    QList<RadiologyTool> tools;
    for (int i = 0; i < 5'000; ++i)
        tools.append(tool(QString::number(i), i % 50 == 0));
    const QList<ToolGroup> groups = mappingData::groupedTools(tools);
    ASSERT_EQ(groups.size(), 2);
    MappingToolListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setTools(groups, tools.at(500).id, {});
    EXPECT_EQ(model.rowCount(), MappingToolListModel::rowsPerFetch);
    EXPECT_EQ(model.allRows(), 2 + tools.size());
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.setTools(groups, tools.at(500).id, {});
    EXPECT_EQ(resets.size() + changes.size(), 0);
    while (model.canFetchMore({}))
        model.fetchMore({});
    const QList<ToolListRow> all = toolListRows(groups, tools.at(500).id, {});
    ASSERT_EQ(model.rowCount(), all.size());
    for (const int row : {0, 100, 101, 102, 199, 200, 2'500, 5'001})
        EXPECT_EQ(model.row(row), all.at(row)) << row;
    EXPECT_TRUE(model.row(101).isHeader) << "the second group's title after the 100 favourites";
    // An edit far down keeps every fetched row and changes its own in place.
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    const QHash<QUuid, ButtonMapping> mapped{
        {tools.at(4'990).id, ButtonMapping{QUuid::createUuid(), "tartarus_v2", "K01", tools.at(4'990).id}}};
    model.setTools(groups, std::nullopt, mapped);
    EXPECT_EQ(model.rowCount(), all.size());
    EXPECT_EQ(removed.size(), 0);
    const auto edited = std::find_if(model.rows().cbegin(), model.rows().cend(),
                                     [&](const ToolListRow& row) { return row.tool.id == tools.at(4'990).id; });
    ASSERT_NE(edited, model.rows().cend());
    EXPECT_TRUE(edited->mapping.has_value());
}

TEST(MappingItemModelsTest, MappingRowsHighlightPressedAndSelectedButtonsAndLogRowsAreNewestFirst)
{
    const RadiologyTool zoom = tool("Zoom");
    auto entry = [&](const char* button) {
        return MappingEntry{{QUuid::createUuid(), "tartarus_v2", QString::fromLatin1(button), zoom.id}, zoom};
    };
    const QList<MappingEntry> entries{entry("K10"), entry("K2"), entry("K3")};
    const QList<MappingListRow> rows = mappingListRows(entries, {});
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].entry.mapping.buttonId, "K2");

    MappingListModel mappingModel;
    QAbstractItemModelTester mappingTester(&mappingModel, QAbstractItemModelTester::FailureReportingMode::Fatal);
    mappingModel.setAllRows(rows);
    QSignalSpy repainted(&mappingModel, &QAbstractItemModel::dataChanged);
    mappingModel.setHighlighted(QStringLiteral("K3"), QStringLiteral("K10"));
    EXPECT_FALSE(mappingModel.isHighlighted(mappingModel.row(0)));
    EXPECT_TRUE(mappingModel.isHighlighted(mappingModel.row(1)) && mappingModel.isHighlighted(mappingModel.row(2)));
    EXPECT_EQ(repainted.size(), 2) << "only the rows of the two buttons";
    EXPECT_EQ(mappingModel.rowOf(entries[0].mapping.id), 2);
    EXPECT_EQ(mappingModel.rowOf(QUuid::createUuid()), -1);

    QList<LogEntry> logs;
    for (int i = 0; i < 3; ++i)
        logs.append({QUuid::createUuid(), QDateTime::currentDateTimeUtc(), QString::number(i)});
    EventLogModel logModel;
    QAbstractItemModelTester logTester(&logModel, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(&logModel, &QAbstractItemModel::rowsInserted);
    logModel.setRows(eventLogRows(logs));
    // A new line arrives and the oldest drops: one row in at the top, one out at the bottom.
    logs.removeFirst();
    logs.append({QUuid::createUuid(), QDateTime::currentDateTimeUtc(), QStringLiteral("3")});
    logModel.setRows(eventLogRows(logs));
    EXPECT_EQ(inserted.size(), 2);
    EXPECT_EQ(inserted.last().at(1).toInt(), 0);
    EXPECT_EQ(logModel.data(logModel.index(0), Qt::DisplayRole).toString(), "3");
    EXPECT_EQ(logModel.data(logModel.index(2), Qt::DisplayRole).toString(), "1");
}

// A long mapping list is made on the worker: the newest request's rows arrive,
// one overtaken before its rows came is dropped, and a short one comes at once.
class MappingListRowsMakerTest : public test::PlatformFixture {};

TEST_F(MappingListRowsMakerTest, OnlyTheNewestRequestsRowsArrive)
{
    serialQueues.makeStepwise(QStringLiteral("com.velmor.mapping-list"));
    PacsProfile pacs;
    pacs.tools = {tool("Zoom")};
    QList<ButtonMapping> mappings;
    for (int i = MappingListRowsMaker::madeAtOnce; i >= 0; --i)
        mappings.append({QUuid::createUuid(), "tartarus_v2", QStringLiteral("K%1").arg(i), pacs.tools.first().id});
    QList<QList<MappingListRow>> arrived;
    QList<qsizetype> counts;
    MappingListRowsMaker maker([&](QList<MappingListRow> rows, qsizetype count) {
        arrived.append(rows);
        counts.append(count);
    });
    maker.make(mappings, pacs, {});
    maker.make(mappings, pacs, QStringLiteral("K1"));
    EXPECT_TRUE(maker.isMaking());
    EXPECT_TRUE(arrived.isEmpty()) << "nothing is made on the caller's thread";
    ManualSerialQueue* worker = serialQueues.find(QStringLiteral("com.velmor.mapping-list"));
    ASSERT_TRUE(worker);
    worker->runAll();
    queue->runUntilIdle();
    ASSERT_EQ(arrived.size(), 1) << "the overtaken request's rows are dropped";
    EXPECT_FALSE(maker.isMaking());
    EXPECT_EQ(counts.first(), mappings.size());
    EXPECT_EQ(arrived.first().first().entry.mapping.buttonId, "K1") << "filtered and sorted";
    EXPECT_EQ(arrived.first().at(1).entry.mapping.buttonId, "K10");

    maker.make(mappings.mid(0, 3), pacs, {});
    ASSERT_EQ(arrived.size(), 2) << "a short list is made at once";
    EXPECT_EQ(arrived.last().size(), 3);
}

} // namespace
} // namespace velmor
