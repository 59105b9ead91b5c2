#include "ui/admin/ShortcutRecorderModel.h"

namespace velmor {

void ShortcutRecorderModel::startRecording()
{
    if (recording_)
        return;
    recording_ = true;
    changed();
}

void ShortcutRecorderModel::clear()
{
    shortcut_.set(std::nullopt);
    changed();
}

bool ShortcutRecorderModel::keyPressed(const KeyPress& press)
{
    if (!recording_)
        return false;
    const RecordedKey recorded = recordKeyPress(press);
    if (recorded.kind == RecordedKey::Kind::ignore)
        return true;
    recording_ = false;
    if (recorded.kind == RecordedKey::Kind::take)
        shortcut_.set(recorded.shortcut);
    changed();
    return true;
}

ShortcutRecorderModel::Look ShortcutRecorderModel::look() const
{
    if (recording_)
        return Look::listening;
    return shortcut_.get() ? Look::shortcut : Look::placeholder;
}

QString ShortcutRecorderModel::fieldText() const
{
    switch (look()) {
    case Look::listening:
        return QStringLiteral("Listening…");
    case Look::shortcut:
        return shortcut_.get()->displayText();
    case Look::placeholder:
        break;
    }
    return QStringLiteral("Record");
}

void ShortcutRecorderModel::changed() const
{
    if (onChanged)
        onChanged();
}

} // namespace velmor
