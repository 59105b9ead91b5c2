#include "output/ShortcutExecutor.h"

#include "platform/MainQueue.h"

#include <array>
#include <chrono>

namespace velmor {

using Modifiers = KeyboardShortcut::Modifiers;
using namespace std::chrono_literals;

ShortcutExecutor::ShortcutExecutor() : ShortcutExecutor(keys::KeyOutput::instance(), Permissions::instance()) {}

ShortcutExecutor::ShortcutExecutor(keys::KeyOutput& output, Permissions& permissions)
    : output_(output), permissions_(permissions)
{
    readPermissions();
}

namespace {

constexpr std::array<std::uint16_t, 18> keypadCodes{0x41, 0x43, 0x45, 0x47, 0x4B, 0x4C, 0x4E, 0x51, 0x52,
                                                    0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5B, 0x5C};

// The same codes as bits, tested on every post.
constexpr std::array<std::uint64_t, 2> keypadMask = [] {
    std::array<std::uint64_t, 2> mask{};
    for (const std::uint16_t code : keypadCodes)
        mask[code / 64] |= std::uint64_t{1} << (code % 64);
    return mask;
}();

constexpr bool isKeypadKey(std::uint16_t keyCode)
{
    return keyCode < 128 && (keypadMask[keyCode / 64] >> (keyCode % 64) & 1) != 0;
}

} // namespace

const QSet<std::uint16_t>& ShortcutExecutor::keypadKeyCodes()
{
    static const QSet<std::uint16_t> codes(keypadCodes.begin(), keypadCodes.end());
    return codes;
}

keys::EventFlags ShortcutExecutor::eventFlags(std::uint16_t keyCode, Modifiers modifiers)
{
    keys::EventFlags flags = 0;
    if (modifiers.contains(Modifiers::shift))
        flags |= keys::shiftFlag;
    if (modifiers.contains(Modifiers::control))
        flags |= keys::controlFlag;
    if (modifiers.contains(Modifiers::option))
        flags |= keys::optionFlag;
    if (modifiers.contains(Modifiers::command))
        flags |= keys::commandFlag;
    if (isKeypadKey(keyCode))
        flags |= keys::numericPadFlag;
    return flags;
}

bool ShortcutExecutor::post(std::uint16_t keyCode, Modifiers modifiers)
{
    if (!hasAccessibilityPermission_.get())
        return false;
    // The key-up goes out even when the key-down failed, so nothing stays held.
    return output_.postKeyStroke(keyCode, eventFlags(keyCode, modifiers));
}

void ShortcutExecutor::readPermissions()
{
    hasAccessibilityPermission_.set(permissions_.isAccessibilityTrusted());
    hasInputMonitoringPermission_.set(permissions_.preflightInputMonitoring());
}

void ShortcutExecutor::refreshPermissions()
{
    readPermissions();
    if (!hasAccessibilityPermission_.get())
        promptAccessibilityPermission();
    if (!hasInputMonitoringPermission_.get())
        requestInputMonitoringPermission();
}

void ShortcutExecutor::requestPermissions()
{
    promptAccessibilityPermission();
    requestInputMonitoringPermission();
    afterOnMain(200ms, [weak = std::weak_ptr(self_)] {
        const auto self = weak.lock();
        if (!self)
            return;
        ShortcutExecutor& executor = **self;
        executor.readPermissions();
        if (!executor.hasAccessibilityPermission_.get() || !executor.hasInputMonitoringPermission_.get())
            executor.openPrivacySettings();
    }).release();
}

void ShortcutExecutor::promptAccessibilityPermission()
{
    permissions_.promptAccessibilityTrust();
    readPermissions();
    lastPermissionPrompted_.set(QDateTime::currentDateTimeUtc());
}

void ShortcutExecutor::requestInputMonitoringPermission()
{
    hasInputMonitoringPermission_.set(permissions_.requestInputMonitoring());
    lastPermissionPrompted_.set(QDateTime::currentDateTimeUtc());
}

void ShortcutExecutor::openPrivacySettings()
{
    readPermissions();
    const QString& anchor = !hasAccessibilityPermission_.get() || hasInputMonitoringPermission_.get()
        ? Permissions::accessibilityAnchor
        : Permissions::inputMonitoringAnchor;
    permissions_.openSettings(anchor);
}

} // namespace velmor
