#pragma once

#include "core/AppModel.h"
#include "input/UnifiedInputSource.h"
#include "output/ShortcutExecutor.h"
#include "platform/Entitlements.h"
#include "platform/LoginItem.h"
#include "platform/hid/ScriptedHid.h"
#include "platform/keys/RecordingKeyOutput.h"
#include "platform/permissions/ScriptedPermissions.h"
#include "store/ProfileStore.h"
#include "support/TestSupport.h"

#include <chrono>
#include <memory>

namespace velmor {
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
} // namespace velmor

namespace velmor::test {

// An application model on the test platform: scripted HID, recorded key output,
// granted permissions, an in-memory login item and the shipped entitlements.
class AppModelFixture : public PlatformFixture {
protected:
    AppModelFixture()
    {
        permissions.accessibility = true;
        permissions.inputMonitoring = true;
        keys::KeyOutput::setInstance(&output);
        Permissions::setInstance(&permissions);
        LoginItem::setInstance(&loginItem);
    }
    ~AppModelFixture() override
    {
        model.reset();
        queue->runUntilIdle();
        Entitlements::resetCurrent();
        LoginItem::setInstance(nullptr);
        Permissions::setInstance(nullptr);
        keys::KeyOutput::setInstance(nullptr);
    }

    // Builds the model and lets its start-up work run.
    AppModel& start()
    {
        model = std::make_unique<AppModel>();
        queue->runUntilIdle();
        return *model;
    }

    ProfileStore& store() { return model->profileStore(); }
    UserProfile activeUser() { return store().activeUserProfile(); }

    // A new tool in the active PACS profile.
    RadiologyTool addTool(const QString& name, std::optional<KeyboardShortcut> shortcut,
                          std::optional<QList<KeyboardShortcut>> toggles = std::nullopt, bool repeat = false,
                          double speed = 0.5)
    {
        RadiologyTool tool;
        tool.id = QUuid::createUuid();
        tool.name = name;
        tool.shortcut = std::move(shortcut);
        tool.toggleShortcuts = std::move(toggles);
        tool.repeatOnHoldEnabled = repeat;
        tool.repeatSpeed = speed;
        store().upsertTool(tool, model->activePacsProfile().id);
        queue->runUntilIdle();
        return tool;
    }
    void editTool(const QUuid& id, const std::function<void(RadiologyTool&)>& change)
    {
        for (RadiologyTool tool : model->activePacsProfile().tools)
            if (tool.id == id) {
                change(tool);
                store().updateTool(tool, model->activePacsProfile().id);
            }
        queue->runUntilIdle();
    }

    ButtonMapping map(const QString& buttonId, const QUuid& toolId, const QString& deviceId = keypad)
    {
        store().setMapping(deviceId, buttonId, toolId, activeUser().id);
        queue->runUntilIdle();
        for (const ButtonMapping& mapping : activeUser().mappings)
            if (mapping.deviceId == deviceId && mapping.buttonId == buttonId)
                return mapping;
        ADD_FAILURE() << "no mapping made";
        return {};
    }

    static DeviceButtonEvent event(const QString& buttonId, bool pressed, bool holdRepeat = true,
                                   const QString& deviceId = keypad)
    {
        return DeviceButtonEvent{.deviceId = deviceId, .buttonId = buttonId, .isPressed = pressed,
                                 .supportsHoldRepeat = holdRepeat};
    }
    void press(const QString& buttonId, bool holdRepeat = true) { model->handleButtonEvent(event(buttonId, true, holdRepeat)); }
    void release(const QString& buttonId) { model->handleButtonEvent(event(buttonId, false)); }

    // Key codes of the key-downs posted since the last call.
    QList<int> sentKeys()
    {
        QList<int> codes;
        for (const auto& post : output.posts)
            if (post.down)
                codes.append(post.keyCode);
        output.posts.clear();
        return codes;
    }
    QStringList logMessages() const
    {
        QStringList messages;
        for (const AppModel::LogEntry& entry : model->logs.get())
            messages.append(entry.message);
        return messages;
    }
    void advance(std::chrono::milliseconds by) { queue->advance(by); }

    static inline const QString keypad = QStringLiteral("tartarus_v2");

    hid::ScriptedHid hid;
    keys::RecordingKeyOutput output;
    ScriptedPermissions permissions;
    InMemoryLoginItem loginItem;
    std::unique_ptr<AppModel> model;
};

inline KeyboardShortcut shortcut(std::uint16_t keyCode, const QString& key,
                                 KeyboardShortcut::Modifiers modifiers = KeyboardShortcut::Modifiers{})
{
    return KeyboardShortcut{keyCode, key, modifiers};
}

} // namespace velmor::test
