#pragma once

#include "ui/shared/DerivedState.h"
#include "ui/shared/ProfileExchangeFlow.h"

#include <QList>
#include <QString>

#include <functional>

namespace velmor {

class AppModel;
class Prompter;
struct ConnectedDeviceInfo;

// One entry of the tray menu.
struct MenuBarItem {
    enum class Kind {
        header,  // the application's name; its action is "Open App"
        button,
        divider,
        caption, // a group title, never enabled
        row,     // one choice of a group: its symbol shows whether it is the current one
        toggle,  // on while Velmor controls the device
    };

    Kind kind = Kind::button;
    QString title;
    // The header's button ("Open App").
    QString actionTitle;
    // Rows: "checkmark.circle.fill" for the current choice, else "circle".
    QString symbol;
    bool checked = false; // rows: the current choice; toggles: on
    // Header, buttons and rows run this; toggles run `toggle` with the new state.
    std::function<void()> activate;
    std::function<void(bool on)> toggle;
};

// The tray menu without widgets: its items, in order, with their titles,
// checkmarks and actions, rebuilt once per main-queue turn after the profiles,
// the active ids, the connected devices or the active device change. Every
// action is an operation of the model, its store, its input source or the
// cloud commands; windows and quitting are the application's (`Requests`).
class MenuBarModel {
public:
    struct Requests {
        std::function<void()> openMappings; // "Open App": the mapping window, in front
        std::function<void()> openAdmin;    // "Admin / Tools", in front
        std::function<void()> quit;
        // "Cloud Sync Diagnostics": where its report is written, in front.
        std::function<void()> showEventLog;
    };

    static inline const QString checkedSymbol = QStringLiteral("checkmark.circle.fill");
    static inline const QString uncheckedSymbol = QStringLiteral("circle");

    MenuBarModel(AppModel& model, Prompter& prompter, Requests requests);
    MenuBarModel(const MenuBarModel&) = delete;
    MenuBarModel& operator=(const MenuBarModel&) = delete;

    const Published<QList<MenuBarItem>>& items() const { return items_.published(); }

    // A control toggle's title: the product name, else the template id, else "Unknown Device".
    static QString controlTitle(const ConnectedDeviceInfo& info);

private:
    QList<MenuBarItem> compute();
    void addProfileGroups(QList<MenuBarItem>& items);
    void addDeviceGroup(QList<MenuBarItem>& items);

    AppModel& model_;
    ProfileExchangeFlow files_;
    Requests requests_;
    DerivedState<QList<MenuBarItem>> items_;
};

} // namespace velmor
