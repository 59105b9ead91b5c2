#pragma once

#include <QScrollArea>
#include <QSize>

#include <functional>

namespace velmor {

class WindowConfigurator;

// The mapping window's root view: the mapping view in a scroll area. Through its
// window configurator it pins the window to a content size of 1920 by 1080, or
// to the screen's available area where that is smaller; the window cannot be
// resized. On a smaller screen the mapping view takes the room there is, down to
// its own minimum size, and scrolls below that.
class ContentView : public QScrollArea {
public:
    static constexpr QSize contentSize{1920, 1080};

    // Takes over `mappingView`.
    explicit ContentView(QWidget* mappingView, QWidget* parent = nullptr);

    QWidget* mappingView() const { return widget(); }
    WindowConfigurator& configurator() { return *configurator_; }

    // Runs each time the view appears: the application brings the window forward.
    std::function<void()> onAppear;

    // The setup of the window that hosts `content`: fixed at the content size
    // plus what the window adds around the content (a menu bar), within the
    // screen's available area.
    static void configureMappingWindow(QWidget& window, const QWidget& content);

protected:
    void showEvent(QShowEvent* event) override;

private:
    WindowConfigurator* configurator_;
};

} // namespace velmor
