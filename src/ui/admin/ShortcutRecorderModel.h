#pragma once

#include "model/KeyboardShortcut.h"
#include "ui/admin/KeyPressShortcut.h"
#include "ui/shared/Binding.h"

#include <QString>

#include <functional>
#include <optional>

namespace velmor {

// The shortcut recorder's rules: a tap starts listening, the next key press (a
// modifier key alone does not count) becomes the shortcut, Escape stops without a
// change, and "Clear" removes the shortcut without touching the listening state.
// The shortcut lives with the caller, behind the binding.
class ShortcutRecorderModel {
public:
    using Shortcut = std::optional<KeyboardShortcut>;

    explicit ShortcutRecorderModel(Binding<Shortcut> shortcut) : shortcut_(std::move(shortcut)) {}

    bool isRecording() const { return recording_; }
    Shortcut shortcut() const { return shortcut_.get(); }

    // A tap on the field.
    void startRecording();
    // "Clear".
    void clear();
    // A key press that reached the recorder; true when it was meant for it (every
    // press while listening is).
    bool keyPressed(const KeyPress& press);

    enum class Look { listening, shortcut, placeholder };
    Look look() const;
    // "Listening…", the shortcut ("⌃A"), or "Record".
    QString fieldText() const;

    // Runs after every change of what the field shows.
    std::function<void()> onChanged;

private:
    void changed() const;

    Binding<Shortcut> shortcut_;
    bool recording_ = false;
};

} // namespace velmor
