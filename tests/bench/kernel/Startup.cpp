#include "Startup.h"

#include "BenchSide.h"
#include "ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <vector>

namespace velmor::bench {

using namespace std::chrono_literals;

namespace {

struct Ready {
    std::int64_t atNs = 0; // CLOCK_MONOTONIC
    std::int64_t residentKb = -1;
};

// When a started program said it was ready: "ready <CLOCK_MONOTONIC ns>" (the
// pipeline), or the application's "velmor ready: … rss_kb=<n>", timed as it
// arrives.
std::optional<Ready> waitForReady(ChildProcess& process, std::chrono::milliseconds timeout)
{
    const std::int64_t deadline = monotonicNs() + std::int64_t(timeout.count()) * msNs;
    for (std::int64_t left = timeout.count(); left > 0; left = (deadline - monotonicNs()) / msNs) {
        const std::optional<QString> line = process.readLine(std::chrono::milliseconds(left));
        if (!line)
            return std::nullopt;
        const std::int64_t arrived = monotonicNs();
        bool ok = false;
        if (line->startsWith(QStringLiteral("ready ")))
            if (const std::int64_t at = line->mid(6).toLongLong(&ok); ok)
                return Ready{at, process.residentKb()};
        if (line->startsWith(QStringLiteral("velmor ready:"))) {
            const QRegularExpressionMatch rss = QRegularExpression(QStringLiteral("rss_kb=(\\d+)")).match(*line);
            return Ready{arrived, rss.hasMatch() ? rss.captured(1).toLongLong() : process.residentKb()};
        }
    }
    return std::nullopt;
}

} // namespace

Home::Home()
{
    // Private, as a runtime folder must be for Velmor to use it.
    QDir(dir_.path()).mkdir(QStringLiteral("runtime"));
    QFile::setPermissions(dir_.path() + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList Home::environment() const
{
    const QString path = dir_.path();
    return {QStringLiteral("HOME=") + path,
            QStringLiteral("XDG_CONFIG_HOME=") + path + QStringLiteral("/config"),
            QStringLiteral("XDG_DATA_HOME=") + path + QStringLiteral("/data"),
            QStringLiteral("XDG_CACHE_HOME=") + path + QStringLiteral("/cache"),
            QStringLiteral("XDG_RUNTIME_DIR=") + path + QStringLiteral("/runtime"),
            QStringLiteral("QT_QPA_PLATFORM=offscreen"),
            QStringLiteral("VELMOR_READY=quit")};
}

StartupFigures measureStartups(const QString& command, int runs)
{
    Home home;
    StartupFigures figures;
    std::vector<double> again;
    for (int run = 0; run < runs; ++run) {
        ChildProcess process(command, {}, home.environment());
        const std::optional<Ready> ready = waitForReady(process, 60s);
        if (!ready)
            throw std::runtime_error("the program never reported ready: " + command.toStdString());
        const double ms = double(ready->atNs - process.startedNs()) / msNs;
        if (run == 0)
            figures.freshMs = ms;
        else
            again.push_back(ms);
        figures.readyKb = std::max(figures.readyKb, ready->residentKb);
        process.finish(10s);
    }
    figures.againMs = summarize(again);
    return figures;
}

QJsonArray startupRows(const StartupFigures& figures, const QString& where, bool judge)
{
    const auto under = [&](double value, double limit) { return judge ? std::optional<bool>(value < limit) : std::nullopt; };
    return {
        row(QStringLiteral("start-up to ready, fresh install") + where, figures.freshMs, {}, QStringLiteral("ms"),
            QStringLiteral("< 500"), under(figures.freshMs, 500)),
        row(QStringLiteral("start-up to ready, profiles present (median)") + where, figures.againMs.median, {},
            QStringLiteral("ms"), QStringLiteral("< 500"), under(figures.againMs.median, 500)),
        row(QStringLiteral("resident memory at ready") + where, mb(figures.readyKb), {}, QStringLiteral("MB"),
            QStringLiteral("< 80"), under(mb(figures.readyKb), 80)),
    };
}

} // namespace velmor::bench
