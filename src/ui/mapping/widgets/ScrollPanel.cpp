#include "ui/mapping/widgets/ScrollPanel.h"

#include <QVBoxLayout>

namespace velmor {

ScrollPanel::ScrollPanel(QWidget* parent) : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("panelContent"));
    content->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QScrollArea { background: transparent; } QWidget#panelContent { background: transparent; }"));
    body_ = new QVBoxLayout(content);
    body_->setContentsMargins(0, 0, 0, 0);
    body_->setSpacing(14);
    setWidget(content);
}

} // namespace velmor
