#include "ui/admin/widgets/RepeatSpeedSlider.h"

#include "ui/admin/widgets/AdminStyle.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSlider>

#include <cmath>

namespace velmor {

RepeatSpeedSlider::RepeatSpeedSlider(const QString& sliderName, const QColor& endColour, QWidget* parent)
    : QWidget(parent), slider_(new QSlider(Qt::Horizontal, this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* title = admin::label(tr("Repeat speed"), Theme::TextStyle::body, Qt::white, false, this);
    title->setBuddy(slider_);
    row->addWidget(title);
    row->addSpacing(4);
    row->addWidget(admin::label(tr("Slow"), Theme::TextStyle::caption, endColour, false, this));
    slider_->setObjectName(sliderName);
    slider_->setAccessibleName(tr("Repeat speed"));
    slider_->setRange(0, 100);
    row->addWidget(slider_, 1);
    row->addWidget(admin::label(tr("Fast"), Theme::TextStyle::caption, endColour, false, this));
    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        if (onChanged)
            onChanged(value / 100.0);
    });
}

void RepeatSpeedSlider::setSpeed(double speed)
{
    const int value = std::isnan(speed) ? 0 : int(std::lround(speed * 100));
    if (slider_->value() == value || slider_->isSliderDown())
        return;
    const QSignalBlocker blocker(slider_);
    slider_->setValue(value);
}

} // namespace velmor
