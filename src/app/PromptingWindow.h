#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

namespace velmor {

class DialogPrompter;
class Prompter;

// A top-level window whose view asks its questions and opens its file dialogs
// over it: the window owns the DialogPrompter that `makeView` receives, and the
// view fills the window (below a menu bar, when one is added).
class PromptingWindow : public QMainWindow {
public:
    using MakeView = std::function<QWidget*(Prompter& prompter)>;

    explicit PromptingWindow(const MakeView& makeView);
    ~PromptingWindow() override;

    QWidget* view() const { return view_; }

private:
    std::unique_ptr<DialogPrompter> prompter_;
    QWidget* view_;
};

} // namespace velmor
