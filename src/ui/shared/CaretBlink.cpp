#include "ui/shared/CaretBlink.h"

#include <QEvent>
#include <QGuiApplication>
#include <QStyleHints>

namespace velmor {

CaretBlink::CaretBlink(std::chrono::milliseconds timeout)
    : timeout_(timeout), desktopFlashTime_(QGuiApplication::styleHints()->cursorFlashTime())
{
    if (desktopFlashTime_ <= 0)
        return;
    qApp->installEventFilter(this);
    wake();
}

CaretBlink::~CaretBlink()
{
    if (desktopFlashTime_ > 0)
        setFlashTime(desktopFlashTime_);
}

bool CaretBlink::isBlinking() const { return QGuiApplication::styleHints()->cursorFlashTime() > 0; }

bool CaretBlink::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::InputMethod:
    case QEvent::FocusIn:
        wake();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CaretBlink::wake()
{
    setFlashTime(desktopFlashTime_);
    rest_ = afterOnMain(timeout_, [this] { setFlashTime(0); });
}

void CaretBlink::setFlashTime(int milliseconds)
{
    // Every text field restarts its blink on a change, so only real changes go out.
    if (QGuiApplication::styleHints()->cursorFlashTime() != milliseconds)
        QGuiApplication::styleHints()->setCursorFlashTime(milliseconds);
}

} // namespace velmor
