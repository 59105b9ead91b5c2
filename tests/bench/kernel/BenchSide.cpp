#include "BenchSide.h"

#include "support/HidDescriptors.h"

#include <time.h>

#include <cerrno>

namespace velmor::bench {

const QByteArray pressK01 = test::hid::bytes({0, 0, 0x1E, 0, 0, 0, 0, 0});
const QByteArray releaseAll = test::hid::bytes({0, 0, 0, 0, 0, 0, 0, 0});

void sleepNs(std::int64_t ns)
{
    const timespec pause{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
    ::nanosleep(&pause, nullptr);
}

void sleepUntil(std::int64_t monotonicNs)
{
    const timespec due{time_t(monotonicNs / 1'000'000'000), long(monotonicNs % 1'000'000'000)};
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
}

double mb(std::int64_t kb) { return kb < 0 ? -1 : double(kb) / 1024.0; }

QJsonValue number(double value) { return value < 0 ? QJsonValue() : QJsonValue(value); }

QJsonObject row(const QString& measure, QJsonValue velmor, QJsonValue floor, const QString& unit,
                const QString& goal, std::optional<bool> met)
{
    QJsonObject row{{QStringLiteral("measure"), measure}, {QStringLiteral("velmor"), velmor},
                    {QStringLiteral("floor"), floor}, {QStringLiteral("unit"), unit}};
    if (!goal.isEmpty())
        row.insert(QStringLiteral("goal"), goal);
    if (met)
        row.insert(QStringLiteral("met"), *met);
    return row;
}

} // namespace velmor::bench
