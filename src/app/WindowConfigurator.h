#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace velmor {

// Gives `configure` the window that hosts a widget, once that window exists:
// each time the widget is shown and each time update() is called, a turn of the
// main queue later. A widget that never reaches a shown window never calls it.
// Lives as long as the widget (it is its child).
class WindowConfigurator : public QObject {
public:
    using Configure = std::function<void(QWidget& window)>;

    WindowConfigurator(QWidget& host, Configure configure);

    // Applies the setup again on the next turn (after the host changed).
    void update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> host_;
    Configure configure_;
};

} // namespace velmor
