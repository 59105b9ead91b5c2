#pragma once

#include "core/AppModel.h"
#include "input/UnifiedInputSource.h"
#include "output/ShortcutExecutor.h"
#include "platform/Entitlements.h"
#include "platform/LoginItem.h"
#include "platform/hid/ScriptedHid.h"
#include "platform/keys/RecordingKeyOutput.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "platform/notifications/RecordingNotifier.h"
#include "platform/permissions/ScriptedPermissions.h"
#include "store/PersistedProfiles.h"
#include "store/ProfileStore.h"
#include "support/TestSupport.h"

#include <functional>

namespace velmor {
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
} // namespace velmor

namespace velmor::test {

inline KeyboardShortcut shortcut(std::uint16_t keyCode, const QString& key,
                                 KeyboardShortcut::Modifiers modifiers = KeyboardShortcut::Modifiers{})
{
    return KeyboardShortcut{keyCode, key, modifiers};
}

// The application model on the test platform: scripted HID, recorded key output,
// granted permissions, an in-memory login item, the shipped entitlements, a cloud
// account in memory and recorded notifications.
class AppModelFixture : public PlatformFixture {
protected:
    AppModelFixture()
    {
        permissions.accessibility = permissions.inputMonitoring = true;
        keys::KeyOutput::setInstance(&output);
        Permissions::setInstance(&permissions);
        LoginItem::setInstance(&loginItem);
        Notifier::setInstance(&notifier);
    }
    ~AppModelFixture() override
    {
        // Cloud calls still under way end before the model goes.
        cloud.setHolding(false);
        cloud.releaseAll();
        queue->runUntilIdle();
        model.reset();
        Entitlements::resetCurrent();
        Notifier::setInstance(nullptr);
        LoginItem::setInstance(nullptr);
        Permissions::setInstance(nullptr);
        keys::KeyOutput::setInstance(nullptr);
    }

    void start()
    {
        model = std::make_unique<AppModel>();
        queue->runUntilIdle();
    }
    ProfileStore& store() { return model->profileStore(); }
    UserProfile activeUser() { return store().activeUserProfile(); }

    RadiologyTool addTool(std::optional<KeyboardShortcut> shortcut, std::optional<QList<KeyboardShortcut>> toggles = {},
                          bool repeat = false, double speed = 0.5)
    {
        RadiologyTool tool;
        tool.id = QUuid::createUuid();
        tool.name = QStringLiteral("Tool");
        tool.shortcut = std::move(shortcut);
        tool.toggleShortcuts = std::move(toggles);
        tool.repeatOnHoldEnabled = repeat;
        tool.repeatSpeed = speed;
        store().upsertTool(tool, model->activePacsProfile().id);
        return tool;
    }
    RadiologyTool repeating(double speed, std::uint16_t keyCode = 40)
    {
        return addTool(shortcut(keyCode, "k"), std::nullopt, true, speed);
    }
    void editTool(RadiologyTool& tool, const std::function<void(RadiologyTool&)>& change)
    {
        change(tool);
        store().updateTool(tool, model->activePacsProfile().id);
    }
    void map(const QString& buttonId, const QUuid& toolId) { store().setMapping(keypad, buttonId, toolId, activeUser().id); }
    // Another machine's change of the profiles, taken as the sync takes it.
    void remoteChange(const std::function<void(PersistedProfiles&)>& change)
    {
        std::optional<PersistedProfiles> document = PersistedProfiles::decodeInParts(store().makeSyncPayload());
        ASSERT_TRUE(document);
        change(*document);
        store().applySyncPayload(document->encode());
    }
    // Adds `count` tools named "Bulk tool 0000"… to the active PACS profile, as another
    // machine's change; in the last group of the mapping window's list, so that they end it.
    QList<RadiologyTool> addBulkTools(int count)
    {
        QList<RadiologyTool> tools;
        for (int i = 0; i < count; ++i) {
            RadiologyTool tool;
            tool.id = QUuid::createUuid();
            tool.name = QStringLiteral("Bulk tool %1").arg(i, 4, 10, QLatin1Char('0'));
            tool.systemIcon = QStringLiteral("star");
            tool.category = ToolCategory::mammo;
            tools.append(tool);
        }
        changeActiveToolsElsewhere([&](QList<RadiologyTool>& active) { active += tools; });
        return tools;
    }
    // Another machine's change of the active PACS profile's tools.
    void changeActiveToolsElsewhere(const std::function<void(QList<RadiologyTool>&)>& change)
    {
        const QUuid pacs = model->activePacsProfile().id;
        remoteChange([&](PersistedProfiles& document) {
            for (PacsProfile& profile : document.pacsProfiles)
                if (profile.id == pacs)
                    change(profile.tools);
        });
    }

    void press(const QString& buttonId, bool holdRepeat = true, bool pressed = true)
    {
        model->handleButtonEvent({.deviceId = keypad, .buttonId = buttonId, .isPressed = pressed, .supportsHoldRepeat = holdRepeat});
    }
    void release(const QString& buttonId) { press(buttonId, true, false); }
    std::shared_ptr<hid::ScriptedDevice> plugKeypad()
    {
        auto device = hid.plug(0x1532, 0x022B, QStringLiteral("Razer Tartarus"), {{hid::property::maxFeatureReportSize, 90}});
        queue->runUntilIdle();
        return device;
    }

    // Key codes of the key-downs posted since the last call.
    QList<int> sentKeys()
    {
        QList<int> codes;
        for (const auto& post : std::exchange(output.posts, {}))
            if (post.down)
                codes.append(post.keyCode);
        return codes;
    }
    QStringList logMessages() const
    {
        QStringList messages;
        for (const AppModel::LogEntry& entry : model->logs().get())
            messages.append(entry.message);
        return messages;
    }
    QStringList dispatchLines() const { return logMessages().filter(QStringLiteral("Dispatch ")); }

    static inline const QString keypad = QStringLiteral("tartarus_v2");

    hid::ScriptedHid hid;
    keys::RecordingKeyOutput output;
    ScriptedPermissions permissions;
    InMemoryLoginItem loginItem;
    RecordingNotifier notifier;
    cloud::MemoryCloud cloud;
    cloud::ScopedContainerFactory cloudFactory{cloud.factory()};
    std::unique_ptr<AppModel> model;
};

} // namespace velmor::test
