#include "app/PromptingWindow.h"

#include "ui/shared/widgets/DialogPrompter.h"

namespace velmor {

PromptingWindow::PromptingWindow(const MakeView& makeView)
    : prompter_(std::make_unique<DialogPrompter>(this)), view_(makeView(*prompter_))
{
    setCentralWidget(view_);
    // The window takes the view's title and fixed size, when it has them.
    setWindowTitle(view_->windowTitle());
    if (view_->minimumSize() == view_->maximumSize())
        setFixedSize(view_->minimumSize());
}

// The view goes first (before the window's other children), while its prompter still exists.
PromptingWindow::~PromptingWindow() { delete view_; }

} // namespace velmor
