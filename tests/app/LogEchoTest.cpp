// The Event Log on standard error: every line once, in order, whatever the log did.

#include "app/LogEcho.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace velmor {
namespace {

LogEntry line(const QString& message)
{
    return {QUuid::createUuid(), QDateTime(QDate(2026, 3, 1), QTime(9, 8, 7, 65), Qt::LocalTime).toUTC(), message};
}

TEST(LogEcho, EachLineOnceInOrderAcrossTheCapAndAClear)
{
    Published<QList<LogEntry>> logs(QList<LogEntry>{line("started")});
    QByteArrayList written;
    const LogEcho echo(logs, [&written](const QByteArray& text) { written << text; });
    EXPECT_EQ(written, QByteArrayList{"09:08:07.065 started\n"});

    // Appended one and two at a time, and capped at the front.
    QList<LogEntry> list = logs.get();
    list << line("a");
    logs.set(list);
    list << line("b") << line("c");
    list.removeFirst();
    logs.set(list);
    // An equal value again writes nothing.
    logs.set(list);
    EXPECT_EQ(written, (QByteArrayList{"09:08:07.065 started\n", "09:08:07.065 a\n", "09:08:07.065 b\n",
                                       "09:08:07.065 c\n"}));

    // Cleared, then a new line: only the new one.
    written.clear();
    logs.set({});
    logs.set({line("after clear")});
    EXPECT_EQ(written, QByteArrayList{"09:08:07.065 after clear\n"});
}

} // namespace
} // namespace velmor
