#include "app/LogEcho.h"

namespace velmor {

LogEcho::LogEcho(const Published<QList<LogEntry>>& logs, Write write)
    : write_(std::move(write)), subscription_(logs.subscribe([this](const QList<LogEntry>& list) { written(list); }))
{
}

void LogEcho::written(const QList<LogEntry>& logs)
{
    // Lines are added at the end, a few at a time: the last one written is near it.
    qsizetype next = 0;
    for (qsizetype i = logs.size() - 1; i >= 0 && !last_.isNull(); --i) {
        if (logs[i].id == last_) {
            next = i + 1;
            break;
        }
    }
    for (qsizetype i = next; i < logs.size(); ++i)
        write_(logs[i].timestamp.toLocalTime().toString(QStringLiteral("hh:mm:ss.zzz ")).toUtf8() +
               logs[i].message.toUtf8() + '\n');
    last_ = logs.isEmpty() ? QUuid() : logs.last().id;
}

} // namespace velmor
