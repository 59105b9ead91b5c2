#pragma once

#include "model/ButtonMapping.h"
#include "platform/MainTimer.h"

#include <QHash>
#include <QString>
#include <QUuid>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velmor {

class ProfileStore;
class ShortcutExecutor;
struct DeviceButtonEvent;
struct RadiologyTool;

// The road from a device button to a shortcut: the active user profile's
// mapping, the tool's toggle steps (a counter per mapping) and repeat-on-hold
// (a task per held device button). Main thread.
class ButtonDispatch {
public:
    using Log = std::function<void(const QString& line)>;
    // The tool of that id in the PACS profile whose tools the mappings name.
    using ActiveTool = std::function<std::optional<RadiologyTool>(const QUuid& toolId)>;

    ButtonDispatch(const ProfileStore& store, ShortcutExecutor& executor, ActiveTool activeTool, Log log);
    ~ButtonDispatch();
    ButtonDispatch(const ButtonDispatch&) = delete;
    ButtonDispatch& operator=(const ButtonDispatch&) = delete;

    // A press sends the mapped tool's shortcut and may start its repeat; a
    // release ends the repeat of that device button.
    void handle(const DeviceButtonEvent& event);
    // True when the tool had a shortcut to send (sent or, without permission, not).
    bool dispatchTool(const RadiologyTool& tool, const ButtonMapping& mapping, bool logging);
    void startRepeat(const RadiologyTool& tool, const DeviceButtonEvent& event, const ButtonMapping& mapping);
    void stopRepeat(const QString& deviceId, const QString& buttonId);
    // Seconds between resends of a held button: 0.4 at speed 0 down to 0.06 at speed 1.
    static double repeatPeriod(double repeatSpeed);
    bool isRepeating(const QString& deviceId, const QString& buttonId) const;
    std::size_t repeatTaskCount() const { return repeatTasks_.size(); }
    // Ends repeats whose binding or tool changed and forgets toggle steps of gone mappings.
    void revalidate();

private:
    struct RepeatKey {
        QString deviceId;
        QString buttonId;
        bool operator==(const RepeatKey&) const = default;
    };
    struct RepeatKeyHash {
        std::size_t operator()(const RepeatKey& key) const noexcept;
    };
    // One held button's resends: what it was started for, and the timer of the
    // next resend.
    struct RepeatTask {
        QUuid toolId;
        ButtonMapping mapping;
        std::chrono::milliseconds period{};
        std::unique_ptr<MainTimer> timer;
    };

    // The first mapping of the active user profile for this device button.
    std::optional<ButtonMapping> mappingFor(const QString& deviceId, const QString& buttonId) const;
    // The mapping and tool a running repeat may still send, or none when its
    // binding changed or its tool is disabled.
    std::optional<std::pair<ButtonMapping, RadiologyTool>> currentBinding(const RepeatTask& task) const;
    void scheduleRepeat(const RepeatKey& key);
    void repeatTick(const RepeatKey& key);
    // Ends a task and keeps its timer for the next one.
    void endRepeat(std::unordered_map<RepeatKey, RepeatTask, RepeatKeyHash>::iterator task);

    const ProfileStore& store_;
    ShortcutExecutor& executor_;
    ActiveTool activeTool_;
    Log log_;
    QHash<QUuid, int> toggleState_;
    std::unordered_map<RepeatKey, RepeatTask, RepeatKeyHash> repeatTasks_;
    // Timers of ended repeats: a press reuses one instead of making its own.
    std::vector<std::unique_ptr<MainTimer>> spareTimers_;
    // Resends hold this weakly: once the dispatch is gone they do nothing.
    std::shared_ptr<ButtonDispatch*> self_ = std::make_shared<ButtonDispatch*>(this);
};

} // namespace velmor
