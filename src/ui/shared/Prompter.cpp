#include "ui/shared/Prompter.h"

#include <algorithm>

namespace velmor {

QString Prompter::escapeButton(const Question& question)
{
    const auto& buttons = question.buttons;
    const auto cancel = std::find_if(buttons.begin(), buttons.end(),
                                     [](const Button& button) { return button.role == Role::cancel; });
    if (cancel != buttons.end())
        return cancel->text;
    const auto safe = std::find_if(buttons.rbegin(), buttons.rend(),
                                   [](const Button& button) { return button.role != Role::destructive; });
    if (safe != buttons.rend())
        return safe->text;
    return buttons.isEmpty() ? QString() : buttons.last().text;
}

QString Prompter::defaultButton(const Question& question)
{
    const auto& buttons = question.buttons;
    const bool destructive = std::any_of(buttons.begin(), buttons.end(),
                                         [](const Button& button) { return button.role == Role::destructive; });
    if (destructive)
        return escapeButton(question);
    const bool named = std::any_of(buttons.begin(), buttons.end(),
                                   [&](const Button& button) { return button.text == question.returnButton; });
    if (named)
        return question.returnButton;
    return buttons.isEmpty() ? QString() : buttons.first().text;
}

} // namespace velmor
