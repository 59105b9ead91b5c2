#pragma once

#include "app/TrayMenuModel.h"
#include "platform/Published.h"

#include <QMenu>

#include <memory>

namespace velmor {

// The tray menu as a QMenu, rendered from the model's items each time they
// change. An action runs on the next turn of the main queue, once the menu has
// closed, so a dialog it opens never sits under an open menu. A toggle shows
// the state the model publishes, not the click, until the source changes it.
class TrayMenu {
public:
    explicit TrayMenu(const TrayMenuModel& model);
    ~TrayMenu();
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    QMenu& menu() { return *menu_; }

private:
    void render(const QList<TrayMenuItem>& items);
    void add(const TrayMenuItem& item);

    std::unique_ptr<QMenu> menu_;
    Subscription subscription_;
};

} // namespace velmor
