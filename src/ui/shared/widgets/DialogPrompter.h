#pragma once

#include "ui/shared/Prompter.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QMessageBox;

namespace velmor {

// The application's Prompter: QFileDialog for files, QMessageBox for questions
// (a small dialog when the question has a text field), each modal over `parent`.
// Questions show their texts as plain text (names in them come from other
// people), open no links, and are wide enough for a sentence in one or two lines.
// Remembers the last folder used for the next file dialog.
class DialogPrompter final : public Prompter {
public:
    explicit DialogPrompter(QWidget* parent = nullptr);

    std::optional<QString> openFile(const FileRequest& request) override;
    std::optional<QString> saveFile(const FileRequest& request) override;
    Answer ask(const Question& question) override;

    // The dialog a question without a text field is asked in, not yet shown.
    static std::unique_ptr<QMessageBox> messageBox(const Question& question, QWidget* parent = nullptr);

    // The path a save dialog returns for what the user typed: the suffix added
    // unless the name already ends with it (in any case).
    static QString withSuffix(const QString& path, const QString& suffix);

private:
    std::optional<QString> runFileDialog(const FileRequest& request, bool save);
    Answer askWithText(const Question& question);

    QPointer<QWidget> parent_;
    QString lastFolder_;
};

} // namespace velmor
