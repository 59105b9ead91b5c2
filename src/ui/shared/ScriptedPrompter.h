#pragma once

#include "ui/shared/Prompter.h"

#include <QQueue>

#include <functional>

namespace velmor {

// A Prompter for tests: answers come from queues the test fills, and every
// request is recorded in order. With its queue empty, a dialog is cancelled and a
// question gets its escape button, as if the user pressed Escape. A scripted
// button that the question does not offer throws std::invalid_argument.
class ScriptedPrompter final : public Prompter {
public:
    enum class Kind { open, save, question };

    struct Request {
        Kind kind;
        FileRequest file;  // open and save
        Question question; // question
    };

    // Queues what the next open or save dialog returns (none: the user cancels).
    void queueFile(std::optional<QString> path) { files_.enqueue(std::move(path)); }
    // Queues the answer of the next question: the button chosen and, for a question
    // with a text field, what the user typed (none: the initial text unchanged).
    void queueAnswer(const QString& button, std::optional<QString> text = std::nullopt)
    {
        answers_.enqueue({button, std::move(text)});
    }

    std::optional<QString> openFile(const FileRequest& request) override;
    std::optional<QString> saveFile(const FileRequest& request) override;
    Answer ask(const Question& question) override;

    const QList<Request>& requests() const { return requests_; }
    // The titles of the questions asked, in order.
    QStringList questionTitles() const;
    // Answers and files queued but not used yet.
    qsizetype pendingCount() const { return files_.size() + answers_.size(); }

    // Run while a save dialog or a question is open, before it is answered.
    std::function<void()> whileSaving;
    std::function<void()> whileAsking;

private:
    std::optional<QString> nextFile();

    QQueue<std::optional<QString>> files_;
    struct Scripted {
        QString button;
        std::optional<QString> text;
    };

    QQueue<Scripted> answers_;
    QList<Request> requests_;
};

} // namespace velmor
