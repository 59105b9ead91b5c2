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
    QSize size = contentSize + around;
    if (const QScreen* screen = window.screen())
        size = size.boundedTo(screen->availableGeometry().size());
    window.setFixedSize(size);
}

void ContentView::showEvent(QShowEvent* event)
{
    QScrollArea::showEvent(event);
    if (!event->spontaneous() && onAppear)
        onAppear();
}

} // namespace velmor
