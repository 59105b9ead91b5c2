#include "app/StartupReport.h"

#include <QFile>
#include <QStringList>

#include <ctime>

#include <unistd.h>

namespace velmor {

namespace {

std::chrono::steady_clock::time_point mainEntered = std::chrono::steady_clock::now();

QByteArray readProc(const char* path)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

void StartupReport::markMainEntered() { mainEntered = std::chrono::steady_clock::now(); }

std::optional<StartupReport::Mode> StartupReport::requested()
{
    const QByteArray value = qgetenv(variable);
    if (value == "print")
        return Mode::print;
    if (value == "quit")
        return Mode::quit;
    return std::nullopt;
}

std::optional<qint64> StartupReport::sinceExecMs()
{
    // Field 22 of /proc/self/stat, after the parenthesised command name: the start
    // in clock ticks since boot, on the boot-time clock.
    const QByteArray stat = readProc("/proc/self/stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    constexpr int startTimeAfterName = 22 - 3;
    if (fields.size() <= startTimeAfterName)
        return std::nullopt;
    bool ok = false;
    const qint64 ticks = fields.at(startTimeAfterName).toLongLong(&ok);
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    timespec now{};
    if (!ok || ticksPerSecond <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return std::nullopt;
    const qint64 nowMs = static_cast<qint64>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
    return nowMs - ticks * 1000 / ticksPerSecond;
}

qint64 StartupReport::sinceMainMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - mainEntered).count();
}

std::optional<qint64> StartupReport::residentKb()
{
    // /proc/self/statm: sizes in pages; the second is the resident set.
    const QList<QByteArray> fields = readProc("/proc/self/statm").trimmed().split(' ');
    bool ok = false;
    const qint64 pages = fields.value(1).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return pages * ::sysconf(_SC_PAGESIZE) / 1024;
}

QString StartupReport::line()
{
    const auto text = [](std::optional<qint64> value) {
        return value ? QString::number(*value) : QStringLiteral("unknown");
    };
    return QStringLiteral("velmor ready: since_exec_ms=%1 since_main_ms=%2 rss_kb=%3")
        .arg(text(sinceExecMs()), QString::number(sinceMainMs()), text(residentKb()));
}

} // namespace velmor
