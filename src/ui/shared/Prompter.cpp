#include "ui/shared/Prompter.h"

#include <algorithm>

namespace velmor {

QString Prompter::escapeButton(const Question& question)
{
    const auto cancel = std::find_if(question.buttons.begin(), question.buttons.end(),
                                     [](const Button& button) { return button.role == Role::cancel; });
    if (cancel != question.buttons.end())
        return cancel->text;
    return question.buttons.isEmpty() ? QString() : question.buttons.last().text;
}

} // namespace velmor
