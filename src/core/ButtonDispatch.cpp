#include "core/ButtonDispatch.h"

#include "input/DeviceButtonEvent.h"
#include "model/RadiologyTool.h"
#include "model/UserProfile.h"
#include "output/ShortcutExecutor.h"
#include "store/ProfileStore.h"

#include <QSet>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace velmor {

namespace {

// Writes text at a cursor inside a string sized for it beforehand.
struct LineWriter {
    QChar* at;
    void put(QStringView text) { at = std::copy(text.begin(), text.end(), at); }
    void put(QLatin1StringView text)
    {
        at = std::transform(text.begin(), text.end(), at, [](char c) { return QChar::fromLatin1(c); });
    }
};

// The line every dispatched press writes, "[step n]" when `step` is above 0,
// built in one allocation.
QString dispatchLine(const QString& buttonId, const QString& toolName, qsizetype step, const KeyboardShortcut& shortcut)
{
    const bool ascii = std::all_of(shortcut.key.begin(), shortcut.key.end(), [](QChar c) { return c.unicode() < 0x80; });
    const QString nonAsciiKey = ascii ? QString() : shortcut.key.toUpper(); // whole-string rules, e.g. ß to SS
    const QStringView key = ascii ? QStringView(shortcut.key) : QStringView(nonAsciiKey);
    char stepBuffer[32] = " [step ";
    QLatin1StringView stepText;
    if (step > 0) {
        char* end = std::to_chars(stepBuffer + 7, stepBuffer + sizeof stepBuffer - 1, step).ptr;
        *end++ = ']';
        stepText = QLatin1StringView(stepBuffer, end);
    }
    QChar modifiers[4];
    const QStringView modifierText(modifiers, shortcut.modifiers.writeSymbols(modifiers));
    constexpr qsizetype fixed = 9 + 3 + 2 + 1; // "Dispatch ", " → ", " (", ")"
    QString line(fixed + buttonId.size() + toolName.size() + stepText.size() + modifierText.size() + key.size(),
                 Qt::Uninitialized);
    LineWriter out{line.data()};
    out.put(QLatin1StringView("Dispatch "));
    out.put(buttonId);
    out.put(QStringView(u" \u2192 "));
    out.put(toolName);
    out.put(stepText);
    out.put(QLatin1StringView(" ("));
    out.put(modifierText);
    if (ascii)
        out.at = std::transform(key.begin(), key.end(), out.at, [](QChar c) {
            return c >= u'a' && c <= u'z' ? QChar(c.unicode() - (u'a' - u'A')) : c;
        });
    else
        out.put(key);
    *out.at = QLatin1Char(')');
    return line;
}

} // namespace

ButtonDispatch::ButtonDispatch(const ProfileStore& store, ShortcutExecutor& executor,
                               ActiveTool activeTool, Log log)
    : store_(store), executor_(executor), activeTool_(std::move(activeTool)), log_(std::move(log))
{
}

ButtonDispatch::~ButtonDispatch() = default;

std::size_t ButtonDispatch::RepeatKeyHash::operator()(const RepeatKey& key) const noexcept
{
    return qHashMulti(0, key.deviceId, key.buttonId);
}

std::optional<ButtonMapping> ButtonDispatch::mappingFor(const QString& deviceId, const QString& buttonId) const
{
    // Read in place: the common case copies one mapping, not the profile.
    std::optional<UserProfile> madeAfresh;
    const UserProfile* profile = store_.storedActiveUserProfile();
    if (!profile)
        profile = &madeAfresh.emplace(store_.activeUserProfile());
    const QList<ButtonMapping>& mappings = profile->mappings;
    const auto it = std::find_if(mappings.begin(), mappings.end(), [&](const ButtonMapping& mapping) {
        return mapping.buttonId == buttonId && mapping.deviceId == deviceId;
    });
    if (it == mappings.end())
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
    const std::optional<RadiologyTool> tool = activeTool_(mapping->toolId);
    if (!tool || !tool->enabled)
        return;
    if (dispatchTool(*tool, *mapping, true))
        startRepeat(*tool, event, *mapping);
}

bool ButtonDispatch::dispatchTool(const RadiologyTool& tool, const ButtonMapping& mapping, bool logging)
{
    // Steps without key text are skipped.
    const auto hasKey = [](const KeyboardShortcut& step) { return !step.key.isEmpty(); };
    const qsizetype count =
        tool.toggleShortcuts ? std::count_if(tool.toggleShortcuts->begin(), tool.toggleShortcuts->end(), hasKey) : 0;

    const KeyboardShortcut* shortcut = nullptr;
    qsizetype step = 0;
    if (count > 0) {
        // A stored counter is below the step count it was written for; the list may have shrunk since.
        const qsizetype index = static_cast<qsizetype>(std::max(0, toggleState_.value(mapping.id, 0))) % count;
        qsizetype seen = 0;
        for (const KeyboardShortcut& candidate : *tool.toggleShortcuts)
            if (hasKey(candidate) && seen++ == index) {
                shortcut = &candidate;
                break;
            }
        toggleState_.insert(mapping.id, static_cast<int>((index + 1) % count));
        step = index + 1;
    } else if (tool.shortcut) {
        shortcut = &*tool.shortcut;
    } else {
        return false;
    }

    const bool posted = executor_.post(shortcut->keyCode, shortcut->modifiers);
    if (logging) {
        QString line = dispatchLine(mapping.buttonId, tool.name, step, *shortcut);
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
    if (repeatTasks_.empty()) // every release asks
        return;
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
    const std::optional<RadiologyTool> tool = activeTool_(task.toolId);
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
    // Only the few counters are looked for, not every mapping collected: this runs
    // on each edit of profiles that may hold tens of thousands of mappings.
    if (toggleState_.isEmpty())
        return;
    QSet<QUuid> gone;
    for (auto entry = toggleState_.cbegin(); entry != toggleState_.cend(); ++entry)
        gone.insert(entry.key());
    for (const UserProfile& profile : store_.userProfiles().get()) {
        for (const ButtonMapping& mapping : profile.mappings)
            if (gone.remove(mapping.id) && gone.isEmpty())
                return;
    }
    for (const QUuid& id : std::as_const(gone))
        toggleState_.remove(id);
}

} // namespace velmor
