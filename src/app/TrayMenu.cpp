#include "app/TrayMenu.h"

#include "platform/MainQueue.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/Theme.h"

#include <QAction>
#include <QPointer>

namespace velmor {

namespace {

using Kind = TrayMenuItem::Kind;

// Runs later, while the menu still exists.
void later(QMenu* menu, std::function<void()> work)
{
    postToMain([menu = QPointer(menu), work = std::move(work)] {
        if (menu && work)
            work();
    });
}

} // namespace

TrayMenu::TrayMenu(const TrayMenuModel& model) : menu_(std::make_unique<QMenu>())
{
    menu_->setTitle(QStringLiteral("Velmor"));
    menu_->setObjectName(QStringLiteral("trayMenu"));
    subscription_ = model.items().subscribe([this](const QList<TrayMenuItem>& items) { render(items); });
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::render(const QList<TrayMenuItem>& items)
{
    menu_->clear();
    for (const TrayMenuItem& item : items)
        add(item);
}

void TrayMenu::add(const TrayMenuItem& item)
{
    QMenu* menu = menu_.get();
    switch (item.kind) {
    case Kind::header: {
        QAction* name = menu->addAction(item.title);
        name->setFont(Theme::boldFont(Theme::TextStyle::headline));
        name->setEnabled(false);
        QAction* open = menu->addAction(item.actionTitle);
        QObject::connect(open, &QAction::triggered, menu, [menu, run = item.activate] { later(menu, run); });
        return;
    }
    case Kind::divider:
        menu->addSeparator();
        return;
    case Kind::caption: {
        QAction* caption = menu->addAction(item.title);
        caption->setFont(Theme::font(Theme::TextStyle::caption));
        caption->setEnabled(false);
        return;
    }
    case Kind::button:
    case Kind::row: {
        QAction* action = menu->addAction(item.title);
        if (!item.symbol.isEmpty())
            action->setIcon(SymbolIcons::instance().icon(item.symbol, Theme::textPrimary()));
        QObject::connect(action, &QAction::triggered, menu, [menu, run = item.activate] { later(menu, run); });
        return;
    }
    case Kind::toggle: {
        QAction* action = menu->addAction(item.title);
        action->setCheckable(true);
        action->setChecked(item.checked);
        QObject::connect(action, &QAction::triggered, menu, [menu, action, item](bool on) {
            // Back to what the source says; its next list moves the check.
            action->setChecked(item.checked);
            later(menu, [toggle = item.toggle, on] { toggle(on); });
        });
        return;
    }
    }
}

} // namespace velmor
