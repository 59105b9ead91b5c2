#pragma once

#include "ui/shared/widgets/MenuRoom.h"

#include <QFont>
#include <QHash>
#include <QString>

#include <optional>

class QWidget;

namespace velmor {

// The texts of a menu's or picker list's entries cut to its room (MenuRoom),
// carried from one fill to the next: a fill after an edit cuts only the names
// the last fill did not hold, as long as the room stayed the same. It holds the
// texts of the last fill only, and no name too long to remember
// (PaintedNames::longestRemembered).
class MenuEntryTexts {
public:
    // A fill of `menuOrPicker` begins, in the room it has now; before any
    // fitted() or entryText().
    void beginFill(const QWidget& menuOrPicker);
    // MenuRoom::fitted(shown) in this fill's room.
    QString fitted(const QString& shown);
    // MenuRoom::entryText(shown) in this fill's room.
    QString entryText(const QString& shown);

private:
    std::optional<MenuRoom> room_;
    QFont font_;
    QHash<QString, QString> last_;
    QHash<QString, QString> current_;
};

} // namespace velmor
