#pragma once

// The one table of scripts/bench: sections of rows, each row a measure with
// Velmor's figure, the floor's where there is one, its unit and goal.
//
// A section file is either our own form
//   {"section": "id", "title": "…", "rows": [{"measure", "velmor", "floor", "unit", "goal", "met"}]}
// or the JSON a Google Benchmark program writes (--benchmark_out), whose
// benchmarks become rows (the medians when it ran repetitions), their counters
// named beside them.

#include <QJsonObject>
#include <QList>
#include <QString>

namespace velmor::bench {

// A section in our own form from either kind of file, named after the file
// (without the digits that order the files). An object of neither kind gives a
// section without rows.
QJsonObject sectionFromJson(const QJsonObject& file, const QString& fileName);

// A figure as the table shows it: three significant digits or whole numbers,
// "—" for none.
QString formatFigure(const QJsonValue& value);

// The sections as one Markdown table. A row with "failed": true says so where the
// verdict goes. `judged` false (a --quick run, whose counts are too small to
// mean anything) leaves every other verdict out.
QString renderTable(const QList<QJsonObject>& sections, bool judged = true);

} // namespace velmor::bench
