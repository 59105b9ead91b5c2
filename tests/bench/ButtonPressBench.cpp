// One keypad press from the HID values to the posted key events: decoding in
// the HID source, the application model's mapping lookup and dispatch, and the
// shortcut executor, with the key output recorded. Serial queues run inline and
// the main queue is drained by hand; the release that follows each press is not
// timed.
#include "core/AppModel.h"
#include "platform/LoginItem.h"
#include "platform/Paths.h"
#include "platform/SerialQueue.h"
#include "platform/Settings.h"
#include "platform/VirtualMainQueue.h"
#include "platform/hid/ScriptedHid.h"
#include "platform/keys/RecordingKeyOutput.h"
#include "platform/permissions/ScriptedPermissions.h"
#include "store/ProfileStore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>

// Every heap allocation of the program is counted (Qt's containers call malloc
// directly, operator new does too), so that a benchmark can say how many one
// press and release make.
namespace {
std::atomic<std::int64_t> allocations{0};
} // namespace

// AddressSanitizer owns malloc itself: its builds count nothing.
#if !defined(__SANITIZE_ADDRESS__)
#define VELMOR_COUNTS_ALLOCATIONS 1
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* memory, std::size_t size);

void* malloc(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void* realloc(void* memory, std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(memory, size);
}
}
#endif

using namespace velmor;

namespace {

const hid::Element keyK01{20, hid::ElementType::inputButton, 7, 0x1E, false};
// The keyboard array slot that also reports K01 on the Tartarus Pro.
const hid::Element keySlot{21, hid::ElementType::inputMisc, 7, 0xFFFFFFFF, true};

struct PressBench {
    // The Tartarus V2 reports a key once; the Pro's keyboard interface reports
    // it as a slot value and as the key's own element, each once, through the
    // manager alone, as the Linux backend does.
    explicit PressBench(bool pro = false)
    {
        paths::setApplicationSupportOverride(folder.path());
        permissions.accessibility = true;
        permissions.inputMonitoring = true;
        keys::KeyOutput::setInstance(&output);
        Permissions::setInstance(&permissions);
        LoginItem::setInstance(&loginItem);

        model = std::make_unique<AppModel>();
        ProfileStore& store = model->profileStore();
        RadiologyTool tool;
        tool.id = QUuid::createUuid();
        tool.name = QStringLiteral("Zoom");
        tool.shortcut = KeyboardShortcut{6, QStringLiteral("z"), KeyboardShortcut::Modifiers::command};
        store.upsertTool(tool, model->activePacsProfile().id);
        store.setMapping(QStringLiteral("tartarus_v2"), QStringLiteral("K01"), tool.id,
                         store.activeUserProfile().id);
        if (pro)
            keypad = hid.plug(0x1532, 0x0244, QStringLiteral("Razer Tartarus Pro"),
                              {{hid::property::primaryUsagePage, 1}, {hid::property::primaryUsage, 6}},
                              {keyK01, keySlot});
        if (pro)
            keypad->setOwnValueRoutesRepeatManager(true);
        else
            keypad = hid.plug(0x1532, 0x022B, QStringLiteral("Razer Tartarus"));
        queue->runUntilIdle();
    }
    ~PressBench()
    {
        model.reset();
        queue->runUntilIdle();
        LoginItem::setInstance(nullptr);
        Permissions::setInstance(nullptr);
        keys::KeyOutput::setInstance(nullptr);
        paths::setApplicationSupportOverride({});
    }

    QTemporaryDir folder;
    ScopedVirtualMainQueue queue;
    ScopedInMemorySettings settings;
    ScopedManualSerialQueues serialQueues;
    hid::ScriptedHid hid;
    keys::RecordingKeyOutput output;
    ScriptedPermissions permissions;
    InMemoryLoginItem loginItem;
    std::unique_ptr<AppModel> model;
    std::shared_ptr<hid::ScriptedDevice> keypad;
};

void BM_PressToKeyOutput(benchmark::State& state)
{
    PressBench bench;
    std::int64_t posted = 0;
    [[maybe_unused]] const std::int64_t allocationsBefore = allocations.load();
    for (auto _ : state) {
        bench.keypad->sendValue(keyK01, 1);
        bench.queue->runUntilIdle();

        state.PauseTiming();
        posted += bench.output.posts.size();
        bench.output.posts.clear();
        bench.keypad->sendValue(keyK01, 0);
        bench.queue->runUntilIdle();
        state.ResumeTiming();
    }
    if (posted != 2 * static_cast<std::int64_t>(state.iterations()))
        state.SkipWithError("a press did not post exactly a key-down and a key-up");
    state.SetItemsProcessed(state.iterations());
    // Press and release alike, though only the press is timed.
#if defined(VELMOR_COUNTS_ALLOCATIONS)
    state.counters["allocations per press+release"] = benchmark::Counter(
        double(allocations.load() - allocationsBefore) / double(std::max<std::int64_t>(state.iterations(), 1)));
#endif
}
BENCHMARK(BM_PressToKeyOutput);

void BM_ProKeyboardPressToKeyOutput(benchmark::State& state)
{
    PressBench bench(true);
    std::int64_t posted = 0;
    [[maybe_unused]] const std::int64_t allocationsBefore = allocations.load();
    for (auto _ : state) {
        bench.keypad->sendValue(keySlot, 0x1E);
        bench.keypad->sendValue(keyK01, 1);
        bench.queue->runUntilIdle();

        state.PauseTiming();
        posted += bench.output.posts.size();
        bench.output.posts.clear();
        bench.keypad->sendValue(keySlot, 0);
        bench.keypad->sendValue(keyK01, 0);
        bench.queue->runUntilIdle();
        state.ResumeTiming();
    }
    if (posted != 2 * static_cast<std::int64_t>(state.iterations()))
        state.SkipWithError("a press did not post exactly a key-down and a key-up");
    state.SetItemsProcessed(state.iterations());
    // Press and release alike, though only the press is timed.
#if defined(VELMOR_COUNTS_ALLOCATIONS)
    state.counters["allocations per press+release"] = benchmark::Counter(
        double(allocations.load() - allocationsBefore) / double(std::max<std::int64_t>(state.iterations(), 1)));
#endif
}
BENCHMARK(BM_ProKeyboardPressToKeyOutput);

} // namespace

BENCHMARK_MAIN();
