// The table of scripts/bench: section files of both kinds become rows, and the
// Markdown stays one well-formed table whatever the texts hold.
#include "BenchReport.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace velmor::bench;

namespace {

QJsonObject parse(const char* text) { return QJsonDocument::fromJson(text).object(); }

} // namespace

TEST(BenchReport, GoogleBenchmarkFilesKeepOnlyTheMediansOfRepeatedRuns)
{
    const QJsonObject repeated = parse(R"({"context": {"executable": "build/bench/tests/bench/velmor_bench_StoreBench"}, "benchmarks": [
        {"name": "BM_Save/0", "run_name": "BM_Save", "run_type": "iteration", "real_time": 5, "time_unit": "ms"},
        {"name": "BM_Save_mean", "run_name": "BM_Save", "run_type": "aggregate", "aggregate_name": "mean", "real_time": 6, "time_unit": "ms"},
        {"name": "BM_Save_median", "run_name": "BM_Save", "run_type": "aggregate", "aggregate_name": "median", "real_time": 5.5, "time_unit": "ms"}]})");
    const QJsonObject section = sectionFromJson(repeated, QStringLiteral("40-store"));
    EXPECT_EQ(section[QStringLiteral("section")].toString(), QStringLiteral("store"));
    EXPECT_EQ(section[QStringLiteral("title")].toString(), QStringLiteral("In process: StoreBench"));
    const QJsonArray rows = section[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][QStringLiteral("measure")].toString(), QStringLiteral("Save"));
    EXPECT_EQ(rows[0][QStringLiteral("velmor")].toDouble(), 5.5);
    EXPECT_EQ(rows[0][QStringLiteral("unit")].toString(), QStringLiteral("ms"));

    // Single runs are all kept; a benchmark that failed is a failed row with its message.
    const QJsonObject single = parse(R"({"benchmarks": [
        {"name": "BM_A", "run_type": "iteration", "real_time": 1, "time_unit": "ns"},
        {"name": "BM_B", "run_name": "BM_B", "run_type": "iteration", "error_occurred": true, "error_message": "lost a key"}]})");
    const QJsonArray singleRows = sectionFromJson(single, QStringLiteral("micro"))[QStringLiteral("rows")].toArray();
    ASSERT_EQ(singleRows.size(), 2);
    EXPECT_EQ(singleRows[0][QStringLiteral("measure")].toString(), QStringLiteral("A"));
    EXPECT_EQ(singleRows[1][QStringLiteral("goal")].toString(), QStringLiteral("lost a key"));
    EXPECT_TRUE(singleRows[1][QStringLiteral("failed")].toBool());
}

TEST(BenchReport, CountersGoBesideTheirBenchmarkWithTheUnitTheirNameEndsIn)
{
    const QJsonObject file = parse(R"({"benchmarks": [
        {"name": "BM_PeakMemory/pacs:50/users:50/real_time/iterations:1", "run_name": "BM_PeakMemory/pacs:50/users:50/real_time/iterations:1",
         "run_type": "iteration", "iterations": 1, "real_time": 690, "time_unit": "ms", "peak_MB": 61.5,
         "items_per_second": 2000, "checks": 3}]})");
    const QJsonArray rows = sectionFromJson(file, QStringLiteral("store"))[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][QStringLiteral("measure")].toString(), QStringLiteral("PeakMemory/pacs:50/users:50 (checks 3, peak 61.5 MB)"));
    EXPECT_EQ(rows[0][QStringLiteral("velmor")].toDouble(), 690);
    EXPECT_EQ(rows[0][QStringLiteral("unit")].toString(), QStringLiteral("ms"));

    // A fixed iteration count is how it runs, not what it measures.
    const QJsonObject fixed = parse(R"({"benchmarks": [{"name": "BM_Save/pacs:5/iterations:10/real_time",
        "run_type": "iteration", "iterations": 10, "real_time": 1, "time_unit": "ms"}]})");
    EXPECT_EQ(sectionFromJson(fixed, QStringLiteral("store"))[QStringLiteral("rows")][0][QStringLiteral("measure")].toString(),
              QStringLiteral("Save/pacs:5"));
}

TEST(BenchReport, OwnSectionsPassThroughAndGetATitleAndRows)
{
    const QJsonObject own = parse(R"({"section": "vm", "title": "VM", "rows": [{"measure": "m", "velmor": 1}]})");
    EXPECT_EQ(sectionFromJson(own, QStringLiteral("file")), own);

    const QJsonObject bare = sectionFromJson(parse(R"({"section": "x"})"), QStringLiteral("10-latency"));
    EXPECT_EQ(bare[QStringLiteral("title")].toString(), QStringLiteral("latency"));
    EXPECT_TRUE(bare[QStringLiteral("rows")].toArray().isEmpty());
}

TEST(BenchReport, FiguresShowThreeSignificantDigitsAndWholeNumbers)
{
    EXPECT_EQ(formatFigure(2000), QStringLiteral("2000"));
    EXPECT_EQ(formatFigure(123.456), QStringLiteral("123"));
    EXPECT_EQ(formatFigure(12.345), QStringLiteral("12.3"));
    EXPECT_EQ(formatFigure(1.2345), QStringLiteral("1.23"));
    EXPECT_EQ(formatFigure(0.01234), QStringLiteral("0.012"));
    EXPECT_EQ(formatFigure(-0.5), QStringLiteral("-0.500"));
    EXPECT_EQ(formatFigure(QJsonValue()), QStringLiteral("—"));
    EXPECT_EQ(formatFigure(QStringLiteral("n/a")), QStringLiteral("n/a"));
}

TEST(BenchReport, TableHasOneHeaderSectionRowsAndEscapedCells)
{
    const QJsonObject section = parse(R"({"title": "Kernel VM", "rows": [
        {"measure": "ratio a|b", "velmor": 1.25, "floor": null, "unit": "×", "goal": "≤ 1.5", "met": true},
        {"measure": "cpu", "velmor": 4, "unit": "%", "goal": "< 3", "met": false},
        {"measure": "max", "velmor": 0.5, "floor": 0.25, "unit": "ms"}]})");
    const QStringList lines = renderTable({section}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], QStringLiteral("| Measure | Velmor | Floor | Unit | Goal | Met |"));
    EXPECT_EQ(lines[2], QStringLiteral("| **Kernel VM** | | | | | |"));
    EXPECT_EQ(lines[3], QStringLiteral("| ratio a\\|b | 1.25 | — | × | ≤ 1.5 | yes |"));
    EXPECT_EQ(lines[4], QStringLiteral("| cpu | 4 | — | % | < 3 | **no** |"));
    EXPECT_EQ(lines[5], QStringLiteral("| max | 0.500 | 0.250 | ms |  |  |"));
}

TEST(BenchReport, FailuresShowAsSuchAndAQuickRunJudgesNoGoal)
{
    const QJsonObject section = parse(R"json({"title": "S", "rows": [
        {"measure": "cpu", "velmor": 4, "unit": "%", "goal": "< 3", "met": false},
        {"measure": "ok", "velmor": 1, "unit": "%", "goal": "< 3", "met": true},
        {"measure": "the section failed (exit status 134)", "failed": true}]})json");
    const QStringList judged = renderTable({section}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(judged.size(), 6);
    EXPECT_TRUE(judged[3].endsWith(QStringLiteral("| **no** |")));
    EXPECT_EQ(judged[5], QStringLiteral("| the section failed (exit status 134) | — | — |  |  | **failed** |"));
    const QStringList quick = renderTable({section}, false).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(quick.size(), 6);
    EXPECT_EQ(quick[3], QStringLiteral("| cpu | 4 | — | % | < 3 |  |"));
    EXPECT_EQ(quick[4], QStringLiteral("| ok | 1 | — | % | < 3 |  |"));
    EXPECT_TRUE(quick[5].endsWith(QStringLiteral("| **failed** |")));
}
