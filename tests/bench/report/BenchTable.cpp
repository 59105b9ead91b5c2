// Joins the section files of one scripts/bench run into one table (printed as
// Markdown) and one JSON document. Exit status 1 when a file could not be read or
// written, or a row failed.
//
//   velmor_bench_table [--json OUT] [--quick] SECTION.json...
#include "BenchReport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <cstdio>

using namespace velmor::bench;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Write the whole result here."), QStringLiteral("file"));
    parser.addOption(json);
    const QCommandLineOption quick(QStringLiteral("quick"), QStringLiteral("A run with tiny counts: no goal is judged."));
    parser.addOption(quick);
    parser.addPositionalArgument(QStringLiteral("sections"), QStringLiteral("Section files, in table order."));
    parser.process(app);

    QList<QJsonObject> sections;
    int status = 0;
    for (const QString& path : parser.positionalArguments()) {
        QFile file(path);
        QJsonParseError error{};
        const QJsonDocument document =
            file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll(), &error) : QJsonDocument();
        if (!document.isObject()) {
            std::fprintf(stderr, "bench table: %s is not a section file\n", qPrintable(path));
            status = 1;
            continue;
        }
        sections.append(sectionFromJson(document.object(), QFileInfo(path).completeBaseName()));
    }

    if (parser.isSet(quick))
        std::fputs("A --quick run: tiny counts show that everything runs; the figures mean nothing and no goal is judged.\n\n",
                   stdout);
    std::fputs(renderTable(sections, !parser.isSet(quick)).toUtf8().constData(), stdout);
    if (parser.isSet(json)) {
        QJsonArray all;
        for (const QJsonObject& section : sections)
            all.append(section);
        QSaveFile out(parser.value(json));
        const QJsonObject result{{QStringLiteral("date"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate)},
                                 {QStringLiteral("quick"), parser.isSet(quick)},
                                 {QStringLiteral("sections"), all}};
        if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(result).toJson()) < 0 || !out.commit()) {
            std::fprintf(stderr, "bench table: cannot write %s\n", qPrintable(parser.value(json)));
            status = 1;
        }
    }
    // A failed row fails the run, after the table shows it.
    for (const QJsonObject& section : sections)
        for (const QJsonValue& row : section.value(QStringLiteral("rows")).toArray())
            if (row[QStringLiteral("failed")].toBool()) {
                std::fprintf(stderr, "bench table: %s failed: %s\n",
                             qPrintable(section.value(QStringLiteral("section")).toString()),
                             qPrintable(row[QStringLiteral("measure")].toString()));
                status = 1;
            }
    return status;
}
