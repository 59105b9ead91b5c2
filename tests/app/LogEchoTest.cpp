// The Event Log on standard error: every line once, in order, whatever the log did.

#include "app/LogEcho.h"
#include "platform/VirtualMainQueue.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace velmor {
namespace {

LogEntry line(const QString& message)
{
    static quint64 serial = 0;
    return {QUuid::createUuid(), QDateTime(QDate(2026, 3, 1), QTime(9, 8, 7, 65), Qt::LocalTime).toUTC(), message, 1,
            ++serial};
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

// Sync Now pressed again while the share is gone: each repeat of the newest line is one
// line of its own, and the earlier lines are not written again. A repeat gathered from
// further back (a push) too.
TEST(LogEcho, ARepeatIsOneLineOfItsOwn)
{
    ScopedVirtualMainQueue queue;
    ActivityFeeds feeds;
    QList<QByteArray> written;
    const LogEcho echo(feeds.logs(), [&written](const QByteArray& text) { written << text.mid(13); });
    const QString gone = QStringLiteral("Cloud Sync: the shared folder is gone.");
    for (const char* before : {"started", "devices: none", "Sync Now"})
        feeds.appendLog(QString::fromUtf8(before));
    feeds.appendLog(gone);
    for (int repeat = 0; repeat < 3; ++repeat)
        feeds.appendLog(gone);
    feeds.appendLog("push", ActivityFeeds::Gathering::recent);
    feeds.appendLog("after");
    feeds.appendLog("push", ActivityFeeds::Gathering::recent);
    const QList<QByteArray> expected{"started\n", "devices: none\n", "Sync Now\n", gone.toUtf8() + "\n",
                                     gone.toUtf8() + " \u00D72\n", gone.toUtf8() + " \u00D73\n",
                                     gone.toUtf8() + " \u00D74\n", "push\n", "after\n", "push \u00D72\n"};
    EXPECT_EQ(written, expected);
}

} // namespace
} // namespace velmor
