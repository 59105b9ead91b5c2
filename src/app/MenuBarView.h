#pragma once

#include "app/MenuBarModel.h"
#include "platform/Published.h"
#include "ui/shared/MenuColours.h"
#include "ui/shared/widgets/MenuEntryTexts.h"

#include <QMenu>

#include <memory>

namespace velmor {

// The tray menu as a QMenu, rendered from the model's items each time they
// change. An action runs on the next turn of the main queue, once the menu has
// closed, so a dialog it opens never sits under an open menu. A toggle shows
// the state the model publishes, not the click, until the source changes it.
// The header and the captions are labels in the headline and secondary
// colours, and the dividers lines, each legible on the menu's own palette. A
// long name is cut with "…" so that the menu stays the width of a menu.
class MenuBarView {
public:
    explicit MenuBarView(const MenuBarModel& model);
    ~MenuBarView();
    MenuBarView(const MenuBarView&) = delete;
    MenuBarView& operator=(const MenuBarView&) = delete;

    QMenu& menu() { return *menu_; }

    // The header's, the captions' and the dividers' colours on a menu of `palette`.
    using Colours = MenuColours;
    static Colours colours(const QPalette& palette);

private:
    void render(const QList<MenuBarItem>& items);
    void add(qsizetype index, const Colours& colours);
    // Runs the command of the item shown at `index`, as the menu's actions do.
    void run(qsizetype index) const;

    std::unique_ptr<QMenu> menu_;
    // The items the menu shows; their commands are read when an action fires.
    QList<MenuBarItem> shown_;
    MenuEntryTexts entryTexts_;
    Subscription subscription_;
};

} // namespace velmor
