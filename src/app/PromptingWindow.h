#pragma once

#include <QWidget>

#include <functional>
#include <memory>

namespace velmor {

class DialogPrompter;
class Prompter;

// A top-level window whose view asks its questions and file dialogs over it:
// the window owns the DialogPrompter that `makeView` receives, and the view
// fills the window.
class PromptingWindow : public QWidget {
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
