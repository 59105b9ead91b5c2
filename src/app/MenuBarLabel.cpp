#include "app/MenuBarLabel.h"

#include "core/AppModel.h"

#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

namespace velmor {

MenuBarLabel::MenuBarLabel(AppModel& model, std::function<void()> openMappings)
    : model_(model), openMappings_(std::move(openMappings))
{
}

MenuBarLabel::~MenuBarLabel()
{
    connections_.reset();
    tray_.reset();
}

void MenuBarLabel::show(QMenu* menu)
{
    if (menu && !tray_) {
        tray_ = std::make_unique<QSystemTrayIcon>(QIcon(QStringLiteral(":/app/VelmorMenuIcon.svg")));
        tray_->setToolTip(QStringLiteral("Velmor"));
        tray_->setContextMenu(menu);
        // A left click opens the same menu.
        QObject::connect(tray_.get(), &QSystemTrayIcon::activated, connections_.get(),
                         [menu](QSystemTrayIcon::ActivationReason reason) {
                             if (reason == QSystemTrayIcon::Trigger)
                                 menu->popup(QCursor::pos());
                         });
        tray_->show();
    }
    appeared();
}

void MenuBarLabel::appeared()
{
    model_.openMappingsWindow = openMappings_;
    model_.openMappingsWindowOnLaunch();
}

void MenuBarLabel::detach() { model_.openMappingsWindow = nullptr; }

} // namespace velmor
