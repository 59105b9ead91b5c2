// One keypad key value from the HID callback to the delivered button event,
// through the scripted backend. Serial queues run inline and the main queue is
// drained by hand, so what is measured is the value path itself plus the
// main-queue hand-offs of the sample and the event.
#include "input/HIDDeviceInputSource.h"
#include "platform/SerialQueue.h"
#include "platform/Settings.h"
#include "platform/VirtualMainQueue.h"
#include "platform/hid/ScriptedHid.h"

#include <benchmark/benchmark.h>

using namespace velmor;

namespace {

struct KeypadBench {
    KeypadBench()
    {
        source = HIDDeviceInputSource::create(false);
        source->onEvent = [this](const DeviceButtonEvent&) { ++events; };
        source->onRawHIDEvent = [this](const RawHIDSample&) { ++samples; };
        keypad = hid.plug(0x1532, 0x022B, QStringLiteral("Razer Tartarus"));
        queue->runUntilIdle();
    }

    ScopedVirtualMainQueue queue;
    ScopedInMemorySettings settings;
    ScopedManualSerialQueues serialQueues;
    hid::ScriptedHid hid;
    std::shared_ptr<HIDDeviceInputSource> source;
    std::shared_ptr<hid::ScriptedDevice> keypad;
    std::int64_t events = 0;
    std::int64_t samples = 0;
};

const hid::Element keyK01{20, hid::ElementType::inputButton, 7, 0x1E, false};

// The value path proper: what the manager's value callback runs, then the
// main-queue turn that hands the sample and the event to their callbacks.
void BM_ValueFromCallbackToEvent(benchmark::State& state)
{
    KeypadBench bench;
    hid::Value value{bench.keypad, keyK01, 0};
    for (auto _ : state) {
        value.integerValue ^= 1; // press, release, press, …: one event per value
        bench.source->handleInputValue(value);
        bench.queue->runUntilIdle();
    }
    if (bench.events != static_cast<std::int64_t>(state.iterations()))
        state.SkipWithError("a value did not become exactly one event");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ValueFromCallbackToEvent);

// The same, starting where the device reports the value to the manager.
void BM_ValueFromDeviceToEvent(benchmark::State& state)
{
    KeypadBench bench;
    std::int64_t value = 0;
    for (auto _ : state) {
        value ^= 1;
        bench.keypad->sendValue(keyK01, value);
        bench.queue->runUntilIdle();
    }
    if (bench.events != static_cast<std::int64_t>(state.iterations()))
        state.SkipWithError("a value did not become exactly one event");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ValueFromDeviceToEvent);

} // namespace

BENCHMARK_MAIN();
