#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmor {

// What a controller asks the user through a dialog: a file to open or save, or a
// modal question. Every call blocks until the user answers. The application shows
// real dialogs (DialogPrompter); tests script the answers (ScriptedPrompter).
class Prompter {
public:
    // An open or save dialog.
    struct FileRequest {
        QString title;     // the dialog's caption; empty: the dialog's own
        QString suffix = QStringLiteral("json"); // the one file type offered, without the dot; empty: any file
        QString proposedName; // save dialogs: the file name offered, e.g. "Radiologist - General.json"
    };

    // What a question's button does, for its placement and for Escape.
    enum class Role { normal, destructive, cancel };

    struct Button {
        QString text;
        Role role = Role::normal;
        friend bool operator==(const Button&, const Button&) = default;
    };

    // A modal question, e.g. "Import Failed" with "Try Again" and "Dismiss".
    struct Question {
        QString title;        // the bold first line
        QString message;      // the text below it; may be empty
        QList<Button> buttons; // in order; see defaultButton() for the one Return chooses
        // When set, the question carries one text field with this placeholder.
        std::optional<QString> textPlaceholder;
        QString text;         // the text field's initial text
        // The names the message shows (a tool's, a profile's): the dialog keeps
        // each on one line, not broken at a space or a slash, when it fits one.
        QStringList names = {};
        // The button Return chooses when it is not the first; never a destructive one.
        QString returnButton = {};
    };

    struct Answer {
        QString button; // the text of the chosen button
        QString text;   // what the text field held (empty without one)
        friend bool operator==(const Answer&, const Answer&) = default;
    };

    virtual ~Prompter() = default;

    // The chosen file's path, or none when the user cancelled.
    virtual std::optional<QString> openFile(const FileRequest& request) = 0;
    // The chosen path (with the suffix added when the user left it off), or none.
    virtual std::optional<QString> saveFile(const FileRequest& request) = 0;
    // Always answers with one of the question's buttons: closing the dialog or
    // pressing Escape chooses its escape button (see escapeButton()).
    virtual Answer ask(const Question& question) = 0;

    // The button Escape chooses: the first with the cancel role, else the last
    // button that is not destructive, else the last.
    static QString escapeButton(const Question& question);
    // The button Return chooses: the question's returnButton, else the first button,
    // unless the question has a destructive one; then the escape button, so no key
    // runs the destructive action.
    static QString defaultButton(const Question& question);
};

} // namespace velmor
