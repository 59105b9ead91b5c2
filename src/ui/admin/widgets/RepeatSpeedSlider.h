#pragma once

#include <QWidget>

#include <functional>

class QSlider;

namespace velmor {

// The repeat-speed row of the tool inspector and the toggle editor: "Repeat speed",
// then the slider from "Slow" to "Fast" (0 to 1 in steps of 0.01).
class RepeatSpeedSlider : public QWidget {
public:
    RepeatSpeedSlider(const QString& sliderName, const QColor& endColour, QWidget* parent = nullptr);

    // Shows `speed` without reporting it; left alone while the user holds the knob.
    void setSpeed(double speed);
    QSlider* slider() const { return slider_; }

    std::function<void(double)> onChanged;

private:
    QSlider* slider_;
};

} // namespace velmor
