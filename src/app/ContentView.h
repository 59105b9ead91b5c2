#pragma once

#include <QScrollArea>
#include <QSize>

#include <functional>

namespace velmor {

class WindowConfigurator;

// The mapping window's root view: the mapping view in a scroll area. Through its
// window configurator it pins the window to a content size of 1920 by 1080, or,
// where that is smaller, to the screen's available area less the window
// manager's frame; the window cannot be resized. On a smaller screen the mapping
// view takes the room there is, down to its own minimum size, and scrolls below that.
class ContentView : public QScrollArea {
public:
    static constexpr QSize contentSize{1920, 1080};
    // The frame assumed while the window cannot tell its own (not shown yet, or a
    // platform without frames): borders and a title bar.
    static constexpr QSize frameAllowance{16, 48};

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

    // The window's size (frame excluded): the content size plus `around`, within
    // `available` less `frame` (frameAllowance where `frame` is empty).
    static QSize mappingWindowSize(const QSize& around, const QSize& frame, const QSize& available);

protected:
    void showEvent(QShowEvent* event) override;

private:
    WindowConfigurator* configurator_;
};

} // namespace velmor
