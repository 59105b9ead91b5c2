#pragma once

// What the parts of the kernel-VM benchmark share: the time helpers, the
// keypad's two reports, and one side of the comparison (a keypad, the program
// reading it, the keyboard it types on).

#include "ChildProcess.h"
#include "OutputKeyboard.h"
#include "kernel/UhidDevice.h"

#include <QByteArray>
#include <QString>

#include <linux/input-event-codes.h>

#include <cstdint>
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
