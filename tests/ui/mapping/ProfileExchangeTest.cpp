// Import and export from the mapping window, with scripted file dialogs.
#include "MappingControllerFixture.h"

#include "ui/mapping/ProfileExchangeFlow.h"

#include <QDir>

using namespace velmor;
using namespace velmor::test;

namespace {

class ProfileExchangeTest : public MappingControllerFixture {
protected:
    QString missingFolderPath(const QString& name) const { return supportPath("missing/" + name); }
    QList<ScriptedPrompter::Kind> kinds() const
    {
        QList<ScriptedPrompter::Kind> list;
        for (const ScriptedPrompter::Request& request : prompter.requests())
            list.append(request.kind);
        return list;
    }
    using Kind = ScriptedPrompter::Kind;
};

TEST_F(ProfileExchangeTest, CancelledDialogsDoNothing)
{
    const QList<UserProfile> users = store().userProfiles().get();
    controller->importUserProfile();
    controller->exportUserProfile();
    controller->importPacsProfile();
    controller->exportPacsProfile();
    EXPECT_EQ(kinds(), (QList<Kind>{Kind::open, Kind::save, Kind::open, Kind::save}));
    EXPECT_EQ(store().userProfiles().get(), users);
    EXPECT_EQ(state().errorAlert.has_value(), false);
}

TEST_F(ProfileExchangeTest, AFailedPacsExportAsksAndTryAgainOpensTheSameSaveDialog)
{
    const PacsProfile pacs = model->activePacsProfile();
    prompter.queueFile(missingFolderPath("pacs.json"));
    prompter.queueAnswer("Try Again");
    prompter.queueFile(supportPath("pacs.json"));
    controller->exportPacsProfile();

    ASSERT_EQ(kinds(), (QList<Kind>{Kind::save, Kind::question, Kind::save}));
    const Prompter::Question question = prompter.requests().at(1).question;
    EXPECT_EQ(question.title, "Export Failed");
    EXPECT_TRUE(question.message.startsWith("Could not export PACS profile.\n\nDetails: ")) << question.message.toStdString();
    EXPECT_GT(question.message.size(), QString("Could not export PACS profile.\n\nDetails: ").size());
    EXPECT_EQ(question.buttons, (QList<Prompter::Button>{{"Try Again", Prompter::Role::normal},
                                                         {"Dismiss", Prompter::Role::cancel}}));
    EXPECT_EQ(prompter.requests().at(2).file.proposedName, pacs.name + ".json");
    EXPECT_TRUE(readFile(supportPath("pacs.json")).contains(pacs.name.toUtf8()));
    EXPECT_EQ(state().errorAlert.has_value(), false);
}

TEST_F(ProfileExchangeTest, AFailedUserImportAsksAndTryAgainImportsTheNextFile)
{
    writeFile(supportPath("broken.json"), "{ not json");
    prompter.queueFile(supportPath("broken.json"));
    prompter.queueAnswer("Dismiss");
    controller->importUserProfile();
    EXPECT_EQ(prompter.questionTitles(), QStringList{"Import Failed"});
    EXPECT_TRUE(prompter.requests().last().question.message.startsWith("Invalid user profile format.\n\nDetails: "));
    EXPECT_EQ(kinds().size(), 2) << "Dismiss only closes";

    // Export the active profile, then bring it back through a failed first try.
    const UserProfile active = activeUser();
    prompter.queueFile(supportPath("user.json"));
    controller->exportUserProfile();
    prompter.queueFile(supportPath("broken.json"));
    prompter.queueAnswer("Try Again");
    prompter.queueFile(supportPath("user.json"));
    controller->importUserProfile();
    EXPECT_EQ(store().userProfiles().get().size(), 2);
    EXPECT_EQ(activeUser().name, active.name);
    EXPECT_NE(activeUser().id, active.id);

    prompter.queueFile(supportPath("broken.json"));
    controller->importPacsProfile();
    EXPECT_TRUE(prompter.requests().last().question.message.startsWith("Invalid PACS profile format.\n\nDetails: "));
}

TEST_F(ProfileExchangeTest, TheExportedUserIsTheOneChosenAsTheDialogOpenedUnderAPlainFileName)
{
    HookedPrompter switching;
    MappingController window(*model, switching);
    store().renameUserProfile(activeUser().id, "Dr/Smith");
    const UserProfile chosen = activeUser();
    store().createUserProfile("Other");
    store().selectUserProfile(chosen);
    switching.whileAsking = [&] { store().selectUserProfile(store().userProfiles().get().last()); };
    switching.scripted.queueFile(supportPath("export.json"));
    window.exportUserProfile();

    EXPECT_EQ(switching.scripted.requests().first().file.proposedName, "Dr-Smith.json");
    EXPECT_EQ(activeUser().name, "Other");
    EXPECT_TRUE(readFile(supportPath("export.json")).contains("Dr/Smith"));
    EXPECT_FALSE(QDir(supportPath("Dr")).exists());

    EXPECT_EQ(ProfileExchangeFlow::exportFileName("..hidden"), "hidden.json");
    EXPECT_EQ(ProfileExchangeFlow::exportFileName(".."), "Profile.json");
    EXPECT_EQ(ProfileExchangeFlow::exportFileName("  "), "Profile.json");
    EXPECT_EQ(ProfileExchangeFlow::exportFileName(QString("a\\b") + QChar(0) + "c\n"), "a-b-c-.json");
    EXPECT_EQ(ProfileExchangeFlow::exportFileName("Radiologist - General"), "Radiologist - General.json");
}

} // namespace
