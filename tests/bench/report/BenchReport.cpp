#include "BenchReport.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <cmath>

namespace velmor::bench {

namespace {

// What a benchmark's name says: "BM_StartUp/pacs:50/iterations:10/real_time" reads "StartUp/pacs:50".
QString benchmarkLabel(const QJsonValue& benchmark)
{
    QString name = benchmark[QStringLiteral("run_name")].toString(benchmark[QStringLiteral("name")].toString());
    name.remove(QRegularExpression(QStringLiteral("^BM_")));
    name.remove(QStringLiteral("/real_time")).remove(QRegularExpression(QStringLiteral("/iterations:[0-9]+")));
    return name;
}

// Counters go with their benchmark's name, "file 14.4 MB, peak 61.5 MB": a
// name's "_UNIT" ending is its unit. Rates are left out: the time says as much.
QString counterText(const QJsonObject& benchmark)
{
    static const QStringList fields{
        "name", "family_index", "per_family_instance_index", "run_name", "run_type", "repetitions",
        "repetition_index", "threads", "iterations", "real_time", "cpu_time", "time_unit", "aggregate_name",
        "aggregate_unit", "error_occurred", "error_message", "label"};
    QStringList counters;
    for (auto it = benchmark.begin(); it != benchmark.end(); ++it) {
        if (fields.contains(it.key()) || !it.value().isDouble() || it.key().endsWith(QStringLiteral("_per_second")))
            continue;
        const qsizetype underscore = it.key().lastIndexOf(QLatin1Char('_'));
        counters << (underscore > 0 ? it.key().left(underscore) + QLatin1Char(' ') + formatFigure(it.value())
                                          + QLatin1Char(' ') + it.key().mid(underscore + 1)
                                    : it.key() + QLatin1Char(' ') + formatFigure(it.value()));
    }
    return counters.join(QStringLiteral(", "));
}

QJsonObject sectionFromGoogleBenchmark(const QJsonObject& file, const QString& name)
{
    const QJsonArray benchmarks = file.value(QStringLiteral("benchmarks")).toArray();
    const bool repeated = std::any_of(benchmarks.begin(), benchmarks.end(), [](const QJsonValue& benchmark) {
        return benchmark[QStringLiteral("run_type")].toString() == QStringLiteral("aggregate");
    });
    QJsonArray rows;
    for (const QJsonValue& benchmark : benchmarks) {
        if (repeated && benchmark[QStringLiteral("aggregate_name")].toString() != QStringLiteral("median"))
            continue;
        const QString label = benchmarkLabel(benchmark);
        if (benchmark[QStringLiteral("error_occurred")].toBool()) {
            rows.append(QJsonObject{{QStringLiteral("measure"), label},
                                    {QStringLiteral("goal"), benchmark[QStringLiteral("error_message")].toString()},
                                    {QStringLiteral("failed"), true}});
            continue;
        }
        const QString counters = counterText(benchmark.toObject());
        rows.append(QJsonObject{
            {QStringLiteral("measure"), counters.isEmpty() ? label : label + QStringLiteral(" (") + counters + ')'},
            {QStringLiteral("velmor"), benchmark[QStringLiteral("real_time")]},
            {QStringLiteral("unit"), benchmark[QStringLiteral("time_unit")].toString()}});
    }
    // Titled by its program: "…/velmor_bench_ButtonPressBench" is "In process: ButtonPressBench".
    QString title = name;
    const QString executable = file.value(QStringLiteral("context"))[QStringLiteral("executable")].toString();
    if (!executable.isEmpty())
        title = QStringLiteral("In process: ")
            + executable.section(QLatin1Char('/'), -1).remove(QRegularExpression(QStringLiteral("^velmor_bench_")));
    return {{QStringLiteral("section"), name}, {QStringLiteral("title"), title}, {QStringLiteral("rows"), rows}};
}

QString cell(QString text) { return text.replace(QLatin1Char('|'), QStringLiteral("\\|")); }

} // namespace

QJsonObject sectionFromJson(const QJsonObject& file, const QString& fileName)
{
    // Files are named to sort in table order: "20-kernel-vm" is the section "kernel-vm".
    const QString name = QString(fileName).remove(QRegularExpression(QStringLiteral("^[0-9]+-")));
    if (file.contains(QStringLiteral("benchmarks")))
        return sectionFromGoogleBenchmark(file, name);
    QJsonObject section = file;
    if (!section.value(QStringLiteral("rows")).isArray())
        section.insert(QStringLiteral("rows"), QJsonArray());
    if (section.value(QStringLiteral("title")).toString().isEmpty())
        section.insert(QStringLiteral("title"), name);
    return section;
}

QString formatFigure(const QJsonValue& value)
{
    if (!value.isDouble())
        return value.isString() ? value.toString() : QStringLiteral("—");
    const double number = value.toDouble();
    if (!std::isfinite(number))
        return QStringLiteral("—");
    const double size = std::fabs(number);
    if (number == std::round(number) || size >= 100)
        return QString::number(number, 'f', 0);
    // Three significant digits, at most three decimals.
    const int decimals = size >= 10 ? 1 : size >= 1 ? 2 : 3;
    return QString::number(number, 'f', decimals);
}

QString renderTable(const QList<QJsonObject>& sections, bool judged)
{
    QString table = QStringLiteral("| Measure | Velmor | Floor | Unit | Goal | Met |\n|---|---:|---:|---|---|---|\n");
    for (const QJsonObject& section : sections) {
        table += QStringLiteral("| **") + cell(section.value(QStringLiteral("title")).toString())
                 + QStringLiteral("** | | | | | |\n");
        for (const QJsonValue& value : section.value(QStringLiteral("rows")).toArray()) {
            const QJsonObject row = value.toObject();
            const QJsonValue met = row.value(QStringLiteral("met"));
            QString verdict;
            if (row.value(QStringLiteral("failed")).toBool())
                verdict = QStringLiteral("**failed**");
            else if (judged && met.isBool())
                verdict = met.toBool() ? QStringLiteral("yes") : QStringLiteral("**no**");
            table += QStringLiteral("| ") + cell(row.value(QStringLiteral("measure")).toString()) + QStringLiteral(" | ")
                     + formatFigure(row.value(QStringLiteral("velmor"))) + QStringLiteral(" | ")
                     + formatFigure(row.value(QStringLiteral("floor"))) + QStringLiteral(" | ")
                     + cell(row.value(QStringLiteral("unit")).toString()) + QStringLiteral(" | ")
                     + cell(row.value(QStringLiteral("goal")).toString()) + QStringLiteral(" | ") + verdict
                     + QStringLiteral(" |\n");
        }
    }
    return table;
}

} // namespace velmor::bench
