#include "ui/admin/PacsDeletion.h"
#include "ui/mapping/MappingController.h"
#include "ui/mapping/MappingEditor.h"
#include "ui/shared/ProfileExchangeFlow.h"
#include "ui/shared/ScriptedPrompter.h"
#include "ui/shared/widgets/DialogPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QTextLayout>
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

// The failed import's question on the real dialog: "Try Again" left of "Dismiss",
// which Return and Escape choose, whichever button Tab is on.
TEST(DialogPrompter, TheFailedActionsQuestionShowsTryAgainThenDismissAndReturnDismisses)
{
    DialogPrompter prompter;
    const Prompter::Question question = ProfileExchangeFlow::errorQuestion(
        {QUuid::createUuid(), QStringLiteral("Import Failed"), QStringLiteral("Invalid user profile."),
         QStringLiteral("/tmp/broken.json"), {}});
    EXPECT_EQ(Prompter::defaultButton(question), "Dismiss");
    whenModal<QMessageBox>([](QMessageBox& box) {
        QPushButton* again = buttonNamed(box, QStringLiteral("Try Again"));
        QPushButton* dismiss = buttonNamed(box, QStringLiteral("Dismiss"));
        ASSERT_TRUE(again && dismiss);
        EXPECT_LT(again->mapTo(&box, QPoint()).x(), dismiss->mapTo(&box, QPoint()).x());
        EXPECT_EQ(box.defaultButton(), dismiss);
        QTest::keyClick(&box, Qt::Key_Return);
    });
    EXPECT_EQ(prompter.ask(question).button, QStringLiteral("Dismiss"));
    whenModal<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(prompter.ask(question).button, QStringLiteral("Dismiss"));
}

TEST(Prompter, DestructiveQuestionsDefaultToTheSafeButton)
{
    const auto question = [](QList<Prompter::Button> buttons) {
        return Prompter::Question{QStringLiteral("Q"), {}, std::move(buttons), std::nullopt, {}};
    };
    const Prompter::Question clearAll = question({{"Clear", Role::destructive}, {"Cancel", Role::cancel}});
    EXPECT_EQ(Prompter::defaultButton(clearAll), "Cancel");
    EXPECT_EQ(Prompter::escapeButton(clearAll), "Cancel");
    // No cancel role: the last button that destroys nothing takes both keys.
    const Prompter::Question noCancel = question({{"Keep"}, {"Delete", Role::destructive}});
    EXPECT_EQ(Prompter::defaultButton(noCancel), "Keep");
    EXPECT_EQ(Prompter::escapeButton(noCancel), "Keep");
    // Without a destructive button the first is the default, as before.
    EXPECT_EQ(Prompter::defaultButton(importFailed()), "Try Again");
    EXPECT_EQ(Prompter::escapeButton(importFailed()), "Dismiss");
}

// Return and Escape, pressed on the real dialog, never choose the destructive
// button, whatever holds the focus: every shape of confirmation the prompter builds.
TEST(DialogPrompter, ReturnAndEscapeNeverRunADestructiveAction)
{
    DialogPrompter prompter;
    const QList<Prompter::Question> confirmations{
        {QStringLiteral("Clear all mappings?"), QStringLiteral("This will remove all mappings for Keypad."),
         {{QStringLiteral("Clear"), Role::destructive}, {QStringLiteral("Cancel"), Role::cancel}}, std::nullopt, {}},
        {QStringLiteral("Delete tool?"), QStringLiteral("This will remove Zoom and clear any mappings that use it."),
         {{QStringLiteral("Delete"), Role::destructive}, {QStringLiteral("Cancel"), Role::cancel}}, std::nullopt, {}},
        replaceMapping(),
        {QStringLiteral("Discard?"), {}, {{QStringLiteral("Discard"), Role::destructive}, {QStringLiteral("Keep")}},
         std::nullopt, {}},
        {QStringLiteral("Delete PACS"), {},
         {{QStringLiteral("Delete"), Role::destructive}, {QStringLiteral("Cancel"), Role::cancel}},
         QStringLiteral("Type the name"), {}},
    };
    const auto destructiveButton = [](const Prompter::Question& question) {
        return question.buttons.constFirst().text;
    };
    for (const Prompter::Question& question : confirmations) {
        SCOPED_TRACE(question.title.toStdString());
        const QString safe = Prompter::escapeButton(question);
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            whenModal<QDialog>([key](QDialog& dialog) { QTest::keyClick(&dialog, key); });
            EXPECT_EQ(prompter.ask(question).button, safe) << "key " << key;
        }
        // Even with the focus moved onto the destructive button, Return stays safe.
        whenModal<QDialog>([&](QDialog& dialog) {
            QPushButton* danger = buttonNamed(dialog, destructiveButton(question));
            ASSERT_NE(danger, nullptr);
            danger->setFocus();
            QTest::keyClick(danger, Qt::Key_Return);
        });
        EXPECT_EQ(prompter.ask(question).button, safe);
        // A click still chooses it.
        whenModal<QDialog>([&](QDialog& dialog) { buttonNamed(dialog, destructiveButton(question))->click(); });
        EXPECT_EQ(prompter.ask(question).button, destructiveButton(question));
    }
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

namespace {

QLabel* messageLabel(QMessageBox& box) { return box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")); }

// The lines `text` takes at `width` in `font`, as a label wraps it.
QStringList wrappedLines(const QString& text, const QFont& font, int width)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append(text.mid(line.textStart(), line.textLength()));
    }
    layout.endLayout();
    return lines;
}

// The lines of text a label draws: bands of rows with ink in them.
int drawnLines(QLabel& label)
{
    const QImage image = label.grab().toImage();
    const QRgb background = image.pixel(0, 0);
    int lines = 0;
    bool inLine = false;
    for (int y = 0; y < image.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < image.width() && !ink; ++x)
            ink = image.pixel(x, y) != background;
        lines += ink && !inLine;
        inLine = ink;
    }
    return lines;
}

QString withoutJoiners(QString text) { return text.remove(QChar(0x2060)).replace(QChar::Nbsp, QLatin1Char(' ')); }

} // namespace

// A profile name from another machine that would load /dev/zero as an image,
// and one with formatting and a link: the real dialog shows both as text.
TEST(DialogPrompter, NamesAreTextNeverMarkupImagesOrLinks)
{
    DialogPrompter prompter;
    const QString image = QStringLiteral("x<img src=\"/dev/zero\">");
    const QString formatted =
        QStringLiteral("<font color=red>Dr</font><br><a href=\"https://example.org/\">Lee</a> &amp; <b>Co</b>");
    for (const QString& name : {image, formatted}) {
        const Prompter::Question question = MappingController::deleteQuestion(name);
        whenModal<QMessageBox>([&](QMessageBox& box) {
            EXPECT_EQ(box.textFormat(), Qt::PlainText);
            for (const QLabel* label : box.findChildren<QLabel*>()) {
                EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
                EXPECT_FALSE(label->openExternalLinks()) << label->objectName().toStdString();
            }
            ASSERT_NE(messageLabel(box), nullptr);
            EXPECT_EQ(withoutJoiners(messageLabel(box)->text()), question.message);
            EXPECT_FALSE(box.grab().isNull());
            buttonNamed(box, QStringLiteral("Cancel"))->click();
        });
        EXPECT_EQ(prompter.ask(question).button, QStringLiteral("Cancel"));
    }
    // The dialog with a text field shows its title and message as text too.
    const Prompter::Question rename{image, formatted, {{QStringLiteral("Save")}, {QStringLiteral("Cancel"), Role::cancel}},
                                    QStringLiteral("PACS Name"), image};
    whenModal<QDialog>([&](QDialog& dialog) {
        const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
        ASSERT_EQ(labels.size(), 2);
        for (const QLabel* label : labels)
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        dialog.reject();
    });
    EXPECT_EQ(prompter.ask(rename).button, QStringLiteral("Cancel"));
}

// A one-sentence confirmation takes one or two lines, not four, and a name in
// it is never broken, at its slash or its space, whatever the width.
TEST(DialogPrompter, ConfirmationsHoldASentenceInTwoLinesAndNeverBreakAName)
{
    ConflictPrompt prompt;
    prompt.event.buttonId = QStringLiteral("K07");
    prompt.existingTool.name = QStringLiteral("Zoom In");
    prompt.newTool.name = QStringLiteral("Window/Level");
    const QList<Prompter::Question> questions{MappingEditor::replaceQuestion(prompt),
                                              MappingController::deleteQuestion(QStringLiteral("Window/Level Reading Room")),
                                              MappingEditor::clearQuestion(Device::tartarusTemplate())};
    DialogPrompter prompter;
    for (const Prompter::Question& question : questions) {
        SCOPED_TRACE(question.message.toStdString());
        whenModal<QMessageBox>([&](QMessageBox& box) {
            QLabel* message = messageLabel(box);
            ASSERT_NE(message, nullptr);
            const QStringList lines = wrappedLines(message->text(), message->font(), message->contentsRect().width());
            EXPECT_LE(lines.size(), 2) << withoutJoiners(lines.join('|')).toStdString();
            EXPECT_LE(drawnLines(*message), 2);
            EXPECT_LT(box.width(), 720);
            buttonNamed(box, QStringLiteral("Cancel"))->click();
        });
        prompter.ask(question);

        // At any width a name fits, it stays on one line.
        const std::unique_ptr<QMessageBox> box = DialogPrompter::messageBox(question);
        const QString shown = messageLabel(*box)->text();
        const QFont font = messageLabel(*box)->font();
        for (int width = 60; width <= 600; width += 7) {
            // Where each line starts in the message as asked (joiners are not in it).
            QList<qsizetype> starts;
            qsizetype asked = 0;
            for (const QString& line : wrappedLines(shown, font, width)) {
                starts.append(asked);
                asked += withoutJoiners(line).size();
            }
            for (const QString& name : question.names) {
                if (QFontMetrics(font).horizontalAdvance(name) + 8 >= width)
                    continue;
                const qsizetype at = question.message.indexOf(name);
                ASSERT_GE(at, 0);
                for (const qsizetype start : starts)
                    EXPECT_FALSE(start > at && start < at + name.size())
                        << width << " px breaks " << name.toStdString() << " at " << (start - at);
            }
        }
    }
}

// A name cannot turn the sentence around it, start a line of its own or stretch
// the dialog: it is shown isolated, its controls written visibly, cut when long.
TEST(DialogPrompter, ANameCannotReverseBreakOrStretchTheConfirmation)
{
    const QString hostile = QStringLiteral("Dr. Lee") + QChar(0x202E) + QStringLiteral("\nNight");
    const QString endless = QStringLiteral("Reading Room ").repeated(770); // 10,010 characters
    for (const QString& name : {hostile, endless}) {
        const Prompter::Question question = MappingController::deleteQuestion(name);
        const std::unique_ptr<QMessageBox> box = DialogPrompter::messageBox(question);
        box->adjustSize();
        const QString shown = withoutJoiners(messageLabel(*box)->text()).replace(QChar::Nbsp, QLatin1Char(' '));
        EXPECT_EQ(shown, question.message);
        EXPECT_TRUE(shown.startsWith(QStringLiteral("This will remove the user profile ") + QChar(0x2068)));
        EXPECT_TRUE(shown.endsWith(QChar(0x2069) + QStringLiteral(". Mappings for that profile will be lost.")));
        EXPECT_FALSE(shown.contains(QLatin1Char('\n')) || shown.contains(QChar(0x202E)));
        EXPECT_LT(box->width(), 720);
        EXPECT_LT(box->height(), 400) << "a dialog, not a page";
    }
    EXPECT_TRUE(MappingController::deleteQuestion(hostile).message.contains(QStringLiteral("Lee\\u{202E}\\nNight")));
}

namespace {

// The message as the shown dialog lays it out: every word (what a line cannot
// break inside) fits the label's width. Hands back the message as shown.
QString expectEveryWordFits(QMessageBox& box)
{
    box.show();
    QLabel* label = messageLabel(box);
    EXPECT_NE(label, nullptr);
    if (!label)
        return {};
    const int width = label->contentsRect().width();
    const QFontMetrics metrics(label->font());
    const QString shown = label->text();
    for (const QString& line : shown.split(QLatin1Char('\n')))
        for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            EXPECT_LE(metrics.horizontalAdvance(word), width) << withoutJoiners(word).left(40).toStdString() << "…";
    for (const QString& line : wrappedLines(shown, label->font(), width))
        EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), width) << withoutJoiners(line).toStdString();
    return withoutJoiners(shown);
}

} // namespace

// A name with a word wider than the dialog is cut to one line of the message
// with "…": the rest of the sentence stays whole and the cut keeps the name's start.
TEST(DialogPrompter, ANameWithAWordWiderThanTheMessageIsCutToItsWidth)
{
    const QString names[] = {QString(300, u'W'), QStringLiteral("Ré").repeated(150),
                             QStringLiteral("Night ") + QString(300, u'm')};
    for (const QString& name : names) {
        SCOPED_TRACE(name.left(12).toStdString());
        const std::unique_ptr<QMessageBox> box = DialogPrompter::messageBox(MappingController::deleteQuestion(name));
        const QString shown = expectEveryWordFits(*box);
        const QString start = QStringLiteral("This will remove the user profile ") + QChar(0x2068);
        const QString end = QStringLiteral("\u2026\u2069") + QStringLiteral(". Mappings for that profile will be lost.");
        ASSERT_TRUE(shown.startsWith(start)) << shown.toStdString();
        ASSERT_TRUE(shown.endsWith(end)) << shown.toStdString();
        const QString kept = shown.mid(start.size(), shown.size() - start.size() - end.size());
        EXPECT_TRUE(name.startsWith(kept)) << kept.toStdString();
        EXPECT_GT(QFontMetrics(messageLabel(*box)->font()).horizontalAdvance(kept), messageLabel(*box)->width() * 3 / 4)
            << "the cut takes the room there is";
        EXPECT_LE(drawnLines(*messageLabel(*box)), 3);
        EXPECT_LT(box->width(), 720);
    }
}

// A failure's details name a path: one too wide for the dialog is cut in its
// middle, so its start and its file name stay and nothing runs out of the box.
TEST(DialogPrompter, ALongPathInAFailuresDetailsIsCutInItsMiddle)
{
    const QString path = QStringLiteral("/home/lee/Radiology exports/") + QString(240, u'x') + QStringLiteral("/Lee.json");
    const ActionError error{QUuid::createUuid(), QStringLiteral("Export Failed"),
                            QStringLiteral("Could not export user profile."),
                            QStringLiteral("Cannot write ") + path + QStringLiteral(": a folder is there."), {}};
    const std::unique_ptr<QMessageBox> box = DialogPrompter::messageBox(ProfileExchangeFlow::errorQuestion(error));
    const QString shown = expectEveryWordFits(*box);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Could not export user profile.\n\nDetails: Cannot write /home/lee/Radiology exports/xxx")))
        << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("xxx/Lee.json: a folder is there."))) << shown.toStdString();
    EXPECT_EQ(shown.count(QChar(0x2026)), 1);
}

// Deleting a PACS profile names it, its fallback and its users: each long name is
// cut on its own line, and the counts around it stay.
TEST(DialogPrompter, TheDeletePacsQuestionCutsEachLongNameAndKeepsItsCounts)
{
    const PacsDeletion deletion{QUuid::createUuid(), QString(300, u'P'), 2, QString(300, u'F'),
                                {{QString(300, u'U'), 3, 1}, {QStringLiteral("Dr Lee"), 0, 0}}};
    const std::unique_ptr<QMessageBox> box = DialogPrompter::messageBox(deletion.question());
    const QString shown = expectEveryWordFits(*box);
    EXPECT_EQ(shown.count(QChar(0x2026)), 3) << shown.toStdString();
    const QString pieces[] = {QStringLiteral("This will remove the PACS profile ") + QChar(0x2068) + u'P',
                             QStringLiteral("\u2026\u2069") + QStringLiteral(" and its 2 tools."),
                             QStringLiteral("move to ") + QChar(0x2068) + u'F',
                             QStringLiteral("\u2026\u2069") + QStringLiteral(" and keep only the mappings"),
                             QStringLiteral("• ") + QChar(0x2068) + u'U',
                             QStringLiteral("\u2026\u2069") + QStringLiteral(": 1 of 3 mappings kept"),
                             QStringLiteral("• ") + QChar(0x2068) + QStringLiteral("Dr Lee") + QChar(0x2069) +
                                 QStringLiteral(": no mappings")};
    for (const QString& piece : pieces)
        EXPECT_TRUE(shown.contains(piece)) << piece.toStdString() << "\n" << shown.toStdString();
    EXPECT_LT(box->width(), 720);
}
