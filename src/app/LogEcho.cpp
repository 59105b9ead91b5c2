#include "app/LogEcho.h"

#include <algorithm>

namespace velmor {

LogEcho::LogEcho(const Published<QList<LogEntry>>& logs, Write write)
    : write_(std::move(write)), subscription_(logs.subscribe([this](const QList<LogEntry>& list) { written(list); }))
{
}

void LogEcho::written(const QList<LogEntry>& logs)
{
    // New entries are at the end, after every entry written before: a repeat gathered
    // into an earlier line is a new entry there, written as one line of its own.
    qsizetype next = logs.size();
    while (next > 0 && logs[next - 1].serial > written_)
        --next;
    for (qsizetype i = next; i < logs.size(); ++i)
        write_(logs[i].timestamp.toLocalTime().toString(QStringLiteral("hh:mm:ss.zzz ")).toUtf8() +
               logs[i].message.toUtf8() + '\n');
    if (!logs.isEmpty())
        written_ = std::max(written_, logs.last().serial);
}

} // namespace velmor
