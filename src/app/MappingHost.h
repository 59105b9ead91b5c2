#pragma once

#include <QWidget>

#include <memory>

namespace velmor {

class AppModel;
class MappingController;
class MappingView;
class Prompter;

// The mapping window's content: one MappingController for this window, and the
// MappingView over it. A new window starts from a new controller.
class MappingHost : public QWidget {
public:
    MappingHost(AppModel& model, Prompter& prompter, QWidget* parent = nullptr);
    ~MappingHost() override;

    MappingController& controller() const { return *controller_; }
    // For callbacks that may outlast the window: empty once the host is going.
    std::weak_ptr<MappingController> weakController() const { return controller_; }
    MappingView& view() const { return *view_; }

private:
    std::shared_ptr<MappingController> controller_;
    MappingView* view_;
};

} // namespace velmor
