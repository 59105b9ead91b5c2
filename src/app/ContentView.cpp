#include "app/ContentView.h"

#include "app/WindowConfigurator.h"

#include <QScreen>
#include <QShowEvent>

namespace velmor {

ContentView::ContentView(QWidget* mappingView, QWidget* parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("content"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setWidget(mappingView);
    configurator_ = new WindowConfigurator(*this, [this](QWidget& window) { configureMappingWindow(window, *this); });
}

void ContentView::configureMappingWindow(QWidget& window, const QWidget& content)
{
    const QSize around = (window.size() - content.size()).expandedTo(QSize(0, 0));
    const QSize frame = window.frameGeometry().size() - window.geometry().size();
    const QScreen* screen = window.screen();
    window.setFixedSize(mappingWindowSize(around, frame, screen ? screen->availableGeometry().size() : QSize()));
}

QSize ContentView::mappingWindowSize(const QSize& around, const QSize& frame, const QSize& available)
{
    const QSize size = contentSize + around;
    if (!available.isValid())
        return size;
    const QSize frameSize = frame.width() > 0 || frame.height() > 0 ? frame.expandedTo(QSize(0, 0)) : frameAllowance;
    return size.boundedTo((available - frameSize).expandedTo(QSize(0, 0)));
}

void ContentView::showEvent(QShowEvent* event)
{
    QScrollArea::showEvent(event);
    if (!event->spontaneous() && onAppear)
        onAppear();
}

} // namespace velmor
