#pragma once

#include <QLineEdit>
#include <QObject>

#include <functional>

namespace velmor {

// Reports a field's focus changes, and drops its focus when the controller's
// focus flag turns false (a hardware press takes the focus from the fields).
class FocusReporter : public QObject {
public:
    FocusReporter(QLineEdit& field, std::function<void(bool)> report);

    // The controller's flag for this field, at each render.
    void follow(bool focused);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit& field_;
    std::function<void(bool)> report_;
    bool lastFlag_ = false;
};

} // namespace velmor
