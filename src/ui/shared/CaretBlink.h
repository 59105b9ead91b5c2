#pragma once

#include "platform/MainQueue.h"

#include <QObject>

#include <chrono>

namespace velmor {

// Stops the text cursor's blink once the user has left the keyboard and mouse
// alone for `timeout`, as the desktop's own text fields do, and starts it again
// at the next key, click or focus change. Each blink repaints the field and the
// panels under it; a window left open with a field focused then costs nothing.
// Works through the application's cursor flash time, which every text field
// follows; the desktop's own setting is put back when this goes away.
class CaretBlink final : public QObject {
public:
    static constexpr std::chrono::seconds defaultTimeout{10};

    explicit CaretBlink(std::chrono::milliseconds timeout = defaultTimeout);
    ~CaretBlink() override;
    CaretBlink(const CaretBlink&) = delete;
    CaretBlink& operator=(const CaretBlink&) = delete;

    bool isBlinking() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wake();
    void setFlashTime(int milliseconds);

    const std::chrono::milliseconds timeout_;
    // The desktop's flash time; 0 when it wants no blink at all.
    const int desktopFlashTime_;
    Cancellable rest_;
};

} // namespace velmor
