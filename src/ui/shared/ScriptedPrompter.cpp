#include "ui/shared/ScriptedPrompter.h"

#include <QStringList>

#include <algorithm>
#include <stdexcept>

namespace velmor {

std::optional<QString> ScriptedPrompter::nextFile()
{
    return files_.isEmpty() ? std::nullopt : files_.dequeue();
}

std::optional<QString> ScriptedPrompter::openFile(const FileRequest& request)
{
    requests_.append({Kind::open, request, {}});
    return nextFile();
}

std::optional<QString> ScriptedPrompter::saveFile(const FileRequest& request)
{
    requests_.append({Kind::save, request, {}});
    if (whileSaving)
        whileSaving();
    return nextFile();
}

Prompter::Answer ScriptedPrompter::ask(const Question& question)
{
    requests_.append({Kind::question, {}, question});
    if (whileAsking)
        whileAsking();
    const QString initialText = question.textPlaceholder ? question.text : QString();
    if (answers_.isEmpty())
        return {escapeButton(question), initialText};
    const Scripted scripted = answers_.dequeue();
    const bool offered = std::any_of(question.buttons.begin(), question.buttons.end(),
                                     [&](const Button& button) { return button.text == scripted.button; });
    if (!offered)
        throw std::invalid_argument("\"" + question.title.toStdString() + "\" offers no button \""
                                    + scripted.button.toStdString() + "\"");
    return {scripted.button, question.textPlaceholder ? scripted.text.value_or(initialText) : QString()};
}

QStringList ScriptedPrompter::questionTitles() const
{
    QStringList titles;
    for (const Request& request : requests_) {
        if (request.kind == Kind::question)
            titles << request.question.title;
    }
    return titles;
}

} // namespace velmor
