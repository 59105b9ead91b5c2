#include "ui/mapping/widgets/FocusReporter.h"

#include <QEvent>

namespace velmor {

FocusReporter::FocusReporter(QLineEdit& field, std::function<void(bool)> report)
    : QObject(&field), field_(field), report_(std::move(report))
{
    field_.installEventFilter(this);
}

void FocusReporter::follow(bool focused)
{
    if (lastFlag_ && !focused && field_.hasFocus())
        field_.clearFocus();
    lastFlag_ = focused;
}

bool FocusReporter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &field_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        report_(event->type() == QEvent::FocusIn);
    return false;
}

} // namespace velmor
