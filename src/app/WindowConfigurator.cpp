#include "app/WindowConfigurator.h"

#include "platform/MainQueue.h"

#include <QEvent>
#include <QWindow>

namespace velmor {

WindowConfigurator::WindowConfigurator(QWidget& host, Configure configure)
    : QObject(&host), host_(&host), configure_(std::move(configure))
{
    host.installEventFilter(this);
}

void WindowConfigurator::update()
{
    postToMain([self = QPointer(this)] {
        if (!self || !self->host_)
            return;
        QWidget* window = self->host_->window();
        // Only a window the platform has made: a widget never shown has none.
        if (window->windowHandle() && self->host_->isVisible())
            self->configure_(*window);
    });
}

bool WindowConfigurator::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == host_ && event->type() == QEvent::Show)
        update();
    return QObject::eventFilter(watched, event);
}

} // namespace velmor
