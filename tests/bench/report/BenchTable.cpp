// Joins the section files of one scripts/bench run into one table (printed as
// Markdown) and one JSON document.
//
//   velmor_bench_table [--json OUT] SECTION.json...
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

    std::fputs(renderTable(sections).toUtf8().constData(), stdout);
    if (parser.isSet(json)) {
        QJsonArray all;
        for (const QJsonObject& section : sections)
            all.append(section);
        QSaveFile out(parser.value(json));
        const QJsonObject result{{QStringLiteral("date"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate)},
                                 {QStringLiteral("sections"), all}};
        if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(result).toJson()) < 0 || !out.commit()) {
            std::fprintf(stderr, "bench table: cannot write %s\n", qPrintable(parser.value(json)));
            status = 1;
        }
    }
    return status;
}
