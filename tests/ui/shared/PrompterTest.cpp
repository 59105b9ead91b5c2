#include "ui/shared/ScriptedPrompter.h"
#include "ui/shared/widgets/DialogPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace velmor;
using Role = Prompter::Role;

namespace {

Prompter::Question importFailed()
{
    return {QStringLiteral("Import Failed"), QStringLiteral("Invalid user profile.\n\nDetails: broken"),
            {{QStringLiteral("Try Again")}, {QStringLiteral("Dismiss")}}, std::nullopt, {}};
}

Prompter::Question replaceMapping()
{
    return {QStringLiteral("Replace mapping?"), {},
            {{QStringLiteral("Replace"), Role::destructive}, {QStringLiteral("Cancel"), Role::cancel}}, std::nullopt, {}};
}

// Runs `act` on the modal dialog that `open` shows, once it is up.
template <typename Dialog>
void whenModal(std::function<void(Dialog&)> act)
{
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

QPushButton* buttonNamed(QWidget& dialog, const QString& text)
{
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

} // namespace

TEST(ScriptedPrompter, AnswersInOrderAndRecordsEveryRequest)
{
    ScriptedPrompter prompter;
    prompter.queueFile(QStringLiteral("/tmp/a.json"));
    prompter.queueFile(std::nullopt);
    prompter.queueAnswer(QStringLiteral("Try Again"));

    EXPECT_EQ(prompter.openFile({}), QStringLiteral("/tmp/a.json"));
    EXPECT_EQ(prompter.saveFile({{}, QStringLiteral("json"), QStringLiteral("Radiologist.json")}), std::nullopt);
    EXPECT_EQ(prompter.ask(importFailed()).button, QStringLiteral("Try Again"));
    // Nothing queued: the user cancels the dialog and presses Escape on the question.
    EXPECT_EQ(prompter.openFile({}), std::nullopt);
    EXPECT_EQ(prompter.ask(importFailed()).button, QStringLiteral("Dismiss"));
    EXPECT_EQ(prompter.ask(replaceMapping()).button, QStringLiteral("Cancel"));

    ASSERT_EQ(prompter.requests().size(), 6);
    EXPECT_EQ(prompter.requests()[1].kind, ScriptedPrompter::Kind::save);
    EXPECT_EQ(prompter.requests()[1].file.proposedName, QStringLiteral("Radiologist.json"));
    EXPECT_EQ(prompter.questionTitles(),
              QStringList({"Import Failed", "Import Failed", "Replace mapping?"}));
    EXPECT_EQ(prompter.pendingCount(), 0);
}

TEST(ScriptedPrompter, TextAnswersAndButtonsTheQuestionDoesNotOffer)
{
    ScriptedPrompter prompter;
    Prompter::Question rename{QStringLiteral("Rename PACS"), {},
                              {{QStringLiteral("Save")}, {QStringLiteral("Cancel"), Role::cancel}},
                              QStringLiteral("PACS Name"), QStringLiteral("eUnity")};
    prompter.queueAnswer(QStringLiteral("Save"), QStringLiteral("eUnity 2"));
    prompter.queueAnswer(QStringLiteral("Save"));
    prompter.queueAnswer(QStringLiteral("Delete"));

    EXPECT_EQ(prompter.ask(rename), (Prompter::Answer{"Save", "eUnity 2"}));
    EXPECT_EQ(prompter.ask(rename), (Prompter::Answer{"Save", "eUnity"})); // field left as it was
    EXPECT_THROW(prompter.ask(replaceMapping()), std::invalid_argument);
    EXPECT_EQ(prompter.ask(rename), (Prompter::Answer{"Cancel", "eUnity"}));
}

TEST(DialogPrompter, QuestionsReturnTheClickedButtonAndEscapeChoosesTheCancelRole)
{
    DialogPrompter prompter;

    whenModal<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.text(), QStringLiteral("Import Failed"));
        EXPECT_EQ(box.informativeText(), QStringLiteral("Invalid user profile.\n\nDetails: broken"));
        EXPECT_EQ(box.defaultButton()->text(), QStringLiteral("Try Again"));
        buttonNamed(box, QStringLiteral("Try Again"))->click();
    });
    EXPECT_EQ(prompter.ask(importFailed()).button, QStringLiteral("Try Again"));

    whenModal<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(prompter.ask(replaceMapping()).button, QStringLiteral("Cancel"));

    Prompter::Question rename{QStringLiteral("Rename PACS"), {},
                              {{QStringLiteral("Save")}, {QStringLiteral("Cancel"), Role::cancel}},
                              QStringLiteral("PACS Name"), QStringLiteral("eUnity")};
    whenModal<QDialog>([](QDialog& dialog) {
        auto* field = dialog.findChild<QLineEdit*>();
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->placeholderText(), QStringLiteral("PACS Name"));
        field->setText(QStringLiteral("eUnity West"));
        buttonNamed(dialog, QStringLiteral("Save"))->click();
    });
    EXPECT_EQ(prompter.ask(rename), (Prompter::Answer{"Save", "eUnity West"}));
}

TEST(DialogPrompter, SaveDialogProposesTheNameAndKeepsTheJsonSuffix)
{
    QTemporaryDir folder;
    DialogPrompter prompter;
    const QString typed = folder.filePath(QStringLiteral("Radiologist - General"));

    whenModal<QFileDialog>([typed](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("JSON (*.json)")});
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text(), QStringLiteral("Radiologist - General.json"));
        dialog.selectFile(typed);
        QMetaObject::invokeMethod(&dialog, "accept");
    });
    EXPECT_EQ(prompter.saveFile({{}, QStringLiteral("json"), QStringLiteral("Radiologist - General.json")}),
              typed + QStringLiteral(".json"));

    whenModal<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(prompter.openFile({}), std::nullopt);

    EXPECT_EQ(DialogPrompter::withSuffix(QStringLiteral("/x/a.JSON"), QStringLiteral("json")), "/x/a.JSON");
    EXPECT_EQ(DialogPrompter::withSuffix(QStringLiteral("/x/a.txt"), QStringLiteral("json")), "/x/a.txt.json");
    EXPECT_EQ(DialogPrompter::withSuffix(QStringLiteral("/x/a"), QString()), "/x/a");
}
