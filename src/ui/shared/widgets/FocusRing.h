#pragma once

#include <QObject>
#include <QPointer>

class QApplication;
class QWidget;

namespace velmor {

// Draws a ring inside whichever widget holds the keyboard focus, in every window
// and sheet: the windows draw their own buttons, and what Space and Return act on
// must always show. The ring is a child of the focused widget that takes no input
// and follows its size.
class FocusRing : public QObject {
public:
    // A widget drawn with round corners gives their radius in this property: the ring follows them.
    static constexpr const char* cornerRadiusProperty = "focusRingCornerRadius";

    explicit FocusRing(QApplication& application);
    ~FocusRing() override;

    // The widget the ring is drawn in, if any.
    QWidget* ringed() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QWidget* focused);

    QPointer<QWidget> ring_;
};

} // namespace velmor
