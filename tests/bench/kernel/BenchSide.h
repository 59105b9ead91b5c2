#pragma once

// What the parts of the kernel-VM benchmark share: the time helpers, the
// keypad's two reports, and one side of the comparison (a keypad, the program
// reading it, the keyboard it types on).

#include "ChildProcess.h"
#include "OutputKeyboard.h"
#include "kernel/UhidDevice.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <linux/input-event-codes.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace velmor::bench {

inline constexpr std::int64_t msNs = 1'000'000;
// K01 of the keypad down (boot keyboard report), and every key up.
extern const QByteArray pressK01;
extern const QByteArray releaseAll;
// What both programs type for K01.
inline constexpr std::uint16_t shortcutKey = KEY_Z;

void sleepNs(std::int64_t ns);
// Until CLOCK_MONOTONIC reads `monotonicNs`.
void sleepUntil(std::int64_t monotonicNs);

// One row of a section (see tests/bench/report): a measure, Velmor's figure and
// the floor's, its unit, and the goal with whether it was met.
QJsonObject row(const QString& measure, QJsonValue velmor, QJsonValue floor, const QString& unit,
                const QString& goal = {}, std::optional<bool> met = std::nullopt);
// A figure, or none (null) for a negative one: what could not be measured.
QJsonValue number(double value);
// Kilobytes as megabytes; negative stays negative.
double mb(std::int64_t kb);

struct Side {
    QString name;
    test::kernel::UhidDevice& keypad;
    ChildProcess& process;
    OutputKeyboard output;
    std::vector<double> latenciesMs;
    int missed = 0;
    double lastMs = 0;
};

} // namespace velmor::bench
