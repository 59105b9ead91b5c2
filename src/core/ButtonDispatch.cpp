#include "core/ButtonDispatch.h"

#include "input/DeviceButtonEvent.h"
#include "model/PacsProfile.h"
#include "model/RadiologyTool.h"
#include "output/ShortcutExecutor.h"
#include "store/ProfileStore.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace velmor {

namespace {

std::optional<RadiologyTool> toolWithId(const PacsProfile& profile, const QUuid& id)
{
    const auto it = std::find_if(profile.tools.begin(), profile.tools.end(),
                                 [&](const RadiologyTool& tool) { return tool.id == id; });
    if (it == profile.tools.end())
        return std::nullopt;
    return *it;
}

// The line every dispatched press writes, built in one reserved string.
QString dispatchLine(const QString& buttonId, const QString& toolName, const QString& stepText,
                     const KeyboardShortcut& shortcut)
{
    QString line;
    line.reserve(48 + buttonId.size() + toolName.size() + stepText.size() + shortcut.key.size());
    line += QLatin1String("Dispatch ");
    line += buttonId;
    line += QStringView(u" \u2192 ");
    line += toolName;
    line += stepText;
    line += QLatin1String(" (");
    shortcut.modifiers.appendSymbols(line);
    const bool ascii = std::all_of(shortcut.key.begin(), shortcut.key.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        for (const QChar c : shortcut.key)
            line += c.toUpper();
    else
        line += shortcut.key.toUpper(); // whole-string rules, e.g. ß to SS
    line += QLatin1Char(')');
    return line;
}

} // namespace

ButtonDispatch::ButtonDispatch(const ProfileStore& store, ShortcutExecutor& executor,
                               ActivePacsProfile activePacsProfile, Log log)
    : store_(store), executor_(executor), activePacsProfile_(std::move(activePacsProfile)), log_(std::move(log))
{
}

ButtonDispatch::~ButtonDispatch() = default;

std::size_t ButtonDispatch::RepeatKeyHash::operator()(const RepeatKey& key) const noexcept
{
    return qHashMulti(0, key.deviceId, key.buttonId);
}

std::optional<ButtonMapping> ButtonDispatch::mappingFor(const QString& deviceId, const QString& buttonId) const
{
    const UserProfile profile = store_.activeUserProfile();
    const auto it = std::find_if(profile.mappings.begin(), profile.mappings.end(), [&](const ButtonMapping& mapping) {
        return mapping.deviceId == deviceId && mapping.buttonId == buttonId;
    });
    if (it == profile.mappings.end())
        return std::nullopt;
    return *it;
}

void ButtonDispatch::handle(const DeviceButtonEvent& event)
{
    if (!event.isPressed) {
        stopRepeat(event.deviceId, event.buttonId);
        return;
    }
    const std::optional<ButtonMapping> mapping = mappingFor(event.deviceId, event.buttonId);
    if (!mapping)
        return;
    const std::optional<RadiologyTool> tool = toolWithId(activePacsProfile_(), mapping->toolId);
    if (!tool || !tool->enabled)
        return;
    if (dispatchTool(*tool, *mapping, true))
        startRepeat(*tool, event, *mapping);
}

bool ButtonDispatch::dispatchTool(const RadiologyTool& tool, const ButtonMapping& mapping, bool logging)
{
    QList<KeyboardShortcut> steps;
    if (tool.toggleShortcuts)
        std::copy_if(tool.toggleShortcuts->begin(), tool.toggleShortcuts->end(), std::back_inserter(steps),
                     [](const KeyboardShortcut& step) { return !step.key.isEmpty(); });

    KeyboardShortcut shortcut;
    QString stepText;
    if (!steps.isEmpty()) {
        const qsizetype count = steps.size();
        // A stored counter is below the step count it was written for; the list may have shrunk since.
        const qsizetype index = static_cast<qsizetype>(std::max(0, toggleState_.value(mapping.id, 0))) % count;
        shortcut = steps[index];
        toggleState_.insert(mapping.id, static_cast<int>((index + 1) % count));
        stepText = QStringLiteral(" [step %1]").arg(index + 1);
    } else if (tool.shortcut) {
        shortcut = *tool.shortcut;
    } else {
        return false;
    }

    const bool posted = executor_.post(shortcut.keyCode, shortcut.modifiers);
    if (logging) {
        QString line = dispatchLine(mapping.buttonId, tool.name, stepText, shortcut);
        if (!posted)
            line += executor_.hasAccessibilityPermission().get()
                        ? QStringLiteral(" not sent: the key output refused it")
                        : QStringLiteral(" not sent: Accessibility permission missing");
        log_(line);
    }
    return true;
}

double ButtonDispatch::repeatPeriod(double repeatSpeed)
{
    if (!(repeatSpeed > 0))
        return 0.4;
    return 0.4 - 0.34 * std::min(repeatSpeed, 1.0);
}

void ButtonDispatch::startRepeat(const RadiologyTool& tool, const DeviceButtonEvent& event, const ButtonMapping& mapping)
{
    if (!tool.repeatOnHoldEnabled || !event.supportsHoldRepeat)
        return;
    const RepeatKey key{event.deviceId, event.buttonId};
    if (repeatTasks_.contains(key))
        return;
    const auto period = std::chrono::milliseconds(std::llround(repeatPeriod(tool.repeatSpeed) * 1000));
    std::unique_ptr<MainTimer> timer;
    if (spareTimers_.empty()) {
        timer = MainTimer::create();
    } else {
        timer = std::move(spareTimers_.back());
        spareTimers_.pop_back();
    }
    repeatTasks_.emplace(key, RepeatTask{tool.id, mapping, period, std::move(timer)});
    scheduleRepeat(key);
}

void ButtonDispatch::stopRepeat(const QString& deviceId, const QString& buttonId)
{
    if (const auto it = repeatTasks_.find(RepeatKey{deviceId, buttonId}); it != repeatTasks_.end())
        endRepeat(it);
}

void ButtonDispatch::endRepeat(std::unordered_map<RepeatKey, RepeatTask, RepeatKeyHash>::iterator task)
{
    // Kept, not destroyed: this may run inside the timer's own resend.
    task->second.timer->stop();
    spareTimers_.push_back(std::move(task->second.timer));
    repeatTasks_.erase(task);
}

bool ButtonDispatch::isRepeating(const QString& deviceId, const QString& buttonId) const
{
    return repeatTasks_.contains(RepeatKey{deviceId, buttonId});
}

void ButtonDispatch::scheduleRepeat(const RepeatKey& key)
{
    const auto it = repeatTasks_.find(key);
    if (it == repeatTasks_.end())
        return;
    it->second.timer->start(it->second.period, [weak = std::weak_ptr(self_), key] {
        if (const auto self = weak.lock())
            (*self)->repeatTick(key);
    });
}

void ButtonDispatch::repeatTick(const RepeatKey& key)
{
    const auto it = repeatTasks_.find(key);
    if (it == repeatTasks_.end())
        return;
    const auto binding = currentBinding(it->second);
    if (!binding) {
        stopRepeat(key.deviceId, key.buttonId);
        return;
    }
    dispatchTool(binding->second, binding->first, false);
    scheduleRepeat(key);
}

std::optional<std::pair<ButtonMapping, RadiologyTool>> ButtonDispatch::currentBinding(const RepeatTask& task) const
{
    const std::optional<ButtonMapping> mapping = mappingFor(task.mapping.deviceId, task.mapping.buttonId);
    if (!mapping || mapping->toolId != task.toolId)
        return std::nullopt;
    const std::optional<RadiologyTool> tool = toolWithId(activePacsProfile_(), task.toolId);
    if (!tool || !tool->enabled)
        return std::nullopt;
    return std::pair{*mapping, *tool};
}

void ButtonDispatch::revalidate()
{
    // A repeat whose button now sends something else, or nothing, ends at once
    // rather than at its next resend.
    QList<RepeatKey> ended;
    for (const auto& [key, task] : repeatTasks_)
        if (!currentBinding(task))
            ended.append(key);
    for (const RepeatKey& key : ended)
        stopRepeat(key.deviceId, key.buttonId);

    // Toggle steps belong to a mapping; once no profile has it, its counter goes.
    QSet<QUuid> mappingIds;
    for (const UserProfile& profile : store_.userProfiles().get())
        for (const ButtonMapping& mapping : profile.mappings)
            mappingIds.insert(mapping.id);
    toggleState_.removeIf([&](const auto& entry) { return !mappingIds.contains(entry.key()); });
}

} // namespace velmor
