#include "sync/SyncTexts.h"

#include <QDir>

#include <algorithm>

namespace velmor::synctext {

namespace {

constexpr qsizetype shown = 10;

} // namespace

QString quotedList(const QStringList& names)
{
    QStringList quoted;
    for (const QString& name : names.first(std::min(shown, names.size())))
        quoted.append(u'“' + name + u'”');
    QString text = quoted.join(QStringLiteral(", "));
    if (names.size() > shown)
        text += QStringLiteral(" and %1 more").arg(names.size() - shown);
    return text;
}

QString quotedKeptList(const QStringList& files)
{
    QString text = quotedList(files);
    if (files.size() > shown)
        text += QStringLiteral(" (each named in the Event Log)");
    return text;
}

QStringList keptFileLines(const QString& folder, const QStringList& files)
{
    QStringList lines;
    if (files.size() <= shown)
        return lines;
    for (const QString& file : files)
        lines.append(QStringLiteral("Kept in “%1”: “%2”").arg(QDir::toNativeSeparators(folder), file));
    return lines;
}

} // namespace velmor::synctext
