#include "ui/shared/widgets/DialogPrompter.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace velmor {

namespace {

QString nameFilter(const QString& suffix)
{
    if (suffix.isEmpty())
        return QObject::tr("All files (*)");
    return QStringLiteral("%1 (*.%2)").arg(suffix.toUpper(), suffix);
}

QMessageBox::ButtonRole messageBoxRole(Prompter::Role role)
{
    switch (role) {
    case Prompter::Role::destructive:
        return QMessageBox::DestructiveRole;
    case Prompter::Role::cancel:
        return QMessageBox::RejectRole;
    case Prompter::Role::normal:
        break;
    }
    return QMessageBox::AcceptRole;
}

} // namespace

DialogPrompter::DialogPrompter(QWidget* parent) : parent_(parent)
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    lastFolder_ = QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString DialogPrompter::withSuffix(const QString& path, const QString& suffix)
{
    if (suffix.isEmpty() || path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
        return path;
    return path + QLatin1Char('.') + suffix;
}

std::optional<QString> DialogPrompter::runFileDialog(const FileRequest& request, bool save)
{
    QFileDialog dialog(parent_, request.title, lastFolder_, nameFilter(request.suffix));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save) {
        dialog.setDefaultSuffix(request.suffix);
        if (!request.proposedName.isEmpty())
            dialog.selectFile(request.proposedName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().constFirst();
    lastFolder_ = QFileInfo(path).absolutePath();
    return save ? withSuffix(path, request.suffix) : path;
}

std::optional<QString> DialogPrompter::openFile(const FileRequest& request) { return runFileDialog(request, false); }

std::optional<QString> DialogPrompter::saveFile(const FileRequest& request) { return runFileDialog(request, true); }

std::unique_ptr<QMessageBox> DialogPrompter::messageBox(const Question& question, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(QMessageBox::Warning);
    box->setText(question.title);
    box->setInformativeText(question.message);
    const QString escape = escapeButton(question);
    const QString preferred = defaultButton(question);
    for (const Button& button : question.buttons) {
        QPushButton* added = box->addButton(button.text, messageBoxRole(button.role));
        // Buttons take Return while they have the focus: only the default one may.
        added->setAutoDefault(false);
        if (button.text == preferred)
            box->setDefaultButton(added);
        if (button.text == escape)
            box->setEscapeButton(added);
    }
    return box;
}

Prompter::Answer DialogPrompter::ask(const Question& question)
{
    if (question.textPlaceholder)
        return askWithText(question);

    const std::unique_ptr<QMessageBox> box = messageBox(question, parent_);
    box->exec();
    const QAbstractButton* clicked = box->clickedButton();
    return {clicked ? clicked->text() : escapeButton(question), {}};
}

Prompter::Answer DialogPrompter::askWithText(const Question& question)
{
    QDialog dialog(parent_);
    dialog.setWindowTitle(question.title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* title = new QLabel(question.title, &dialog);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    if (!question.message.isEmpty())
        layout->addWidget(new QLabel(question.message, &dialog));
    auto* field = new QLineEdit(question.text, &dialog);
    field->setPlaceholderText(*question.textPlaceholder);
    layout->addWidget(field);

    QString chosen = escapeButton(question);
    const QString preferred = defaultButton(question);
    auto* buttons = new QDialogButtonBox(&dialog);
    for (const Button& button : question.buttons) {
        QPushButton* added = buttons->addButton(button.text, button.role == Role::cancel
                                                                 ? QDialogButtonBox::RejectRole
                                                                 : QDialogButtonBox::AcceptRole);
        added->setAutoDefault(false);
        added->setDefault(button.text == preferred);
        QObject::connect(added, &QPushButton::clicked, &dialog, [&chosen, &dialog, text = button.text] {
            chosen = text;
            dialog.done(QDialog::Accepted);
        });
    }
    layout->addWidget(buttons);
    dialog.exec();
    return {chosen, field->text()};
}

} // namespace velmor
