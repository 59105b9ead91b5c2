#include "ui/shared/widgets/MenuEntryTexts.h"

#include "ui/shared/PaintedNames.h"
#include "ui/shared/PlainText.h"

#include <QWidget>

namespace velmor {

void MenuEntryTexts::beginFill(const QWidget& menuOrPicker)
{
    MenuRoom room(menuOrPicker);
    const bool sameRoom = room_ && room_->width() == room.width() && font_ == menuOrPicker.font();
    last_ = sameRoom ? std::move(current_) : QHash<QString, QString>();
    current_.clear();
    room_ = std::move(room);
    font_ = menuOrPicker.font();
}

QString MenuEntryTexts::fitted(const QString& shown)
{
    if (shown.size() > PaintedNames::longestRemembered)
        return room_->fitted(shown);
    if (const auto found = current_.constFind(shown); found != current_.constEnd())
        return *found;
    const auto before = last_.constFind(shown);
    const QString text = before != last_.constEnd() ? *before : room_->fitted(shown);
    current_.insert(shown, text);
    return text;
}

QString MenuEntryTexts::entryText(const QString& shown) { return plainText::actionText(fitted(shown)); }

} // namespace velmor
