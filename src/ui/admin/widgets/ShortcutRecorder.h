#pragma once

#include "model/KeyboardShortcut.h"
#include "ui/admin/ShortcutRecorderModel.h"
#include "ui/shared/Binding.h"

#include <QWidget>

#include <optional>

class QPushButton;

namespace velmor {

// The field that records one shortcut, and its "Clear" button. A click on the
// field starts listening: the field takes the keyboard focus and the next key
// pressed, with the modifiers held, becomes the shortcut (Escape stops without a
// change). The shortcut lives with the caller, behind the binding; refresh()
// shows its current value.
class ShortcutRecorder : public QWidget {
public:
    explicit ShortcutRecorder(Binding<std::optional<KeyboardShortcut>> shortcut, QWidget* parent = nullptr);

    void refresh();
    const ShortcutRecorderModel& model() const { return model_; }
    QWidget* field() const;

private:
    class ShortcutCaptureView; // shows the shortcut and takes the keys while listening

    ShortcutRecorderModel model_;
    ShortcutCaptureView* field_;
    QPushButton* clear_;
};

} // namespace velmor
