// The tray menu's import and export flows with a scripted file dialog.

#include "support/AppModelFixture.h"

#include "app/ProfileFileFlows.h"
#include "support/ProfileStoreSeed.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QFile>

using namespace velmor;
using namespace velmor::test;

namespace {

// A scripted prompter that runs `onAsk` while a question is open.
class HookedPrompter final : public Prompter {
public:
    std::optional<QString> openFile(const FileRequest& request) override { return script.openFile(request); }
    std::optional<QString> saveFile(const FileRequest& request) override { return script.saveFile(request); }
    Answer ask(const Question& question) override
    {
        if (onAsk)
            onAsk();
        return script.ask(question);
    }

    ScriptedPrompter script;
    std::function<void()> onAsk;
};

class ProfileFileFlowsTest : public AppModelFixture {
protected:
    ProfileFileFlowsTest()
    {
        start();
        flows = std::make_unique<ProfileFileFlows>(store(), prompter);
    }

    QList<ScriptedPrompter::Request> requestsOf(ScriptedPrompter::Kind kind) const
    {
        QList<ScriptedPrompter::Request> found;
        for (const auto& request : prompter.script.requests())
            if (request.kind == kind)
                found.append(request);
        return found;
    }
    QString missingFolderPath(const QString& name) const { return supportPath("no-such-folder/" + name); }

    HookedPrompter prompter;
    std::unique_ptr<ProfileFileFlows> flows;
};

TEST_F(ProfileFileFlowsTest, AFailedImportAsksAndTryAgainOpensTheDialogAgain)
{
    const QString broken = supportPath("broken.json");
    writeFile(broken, "{ not json");
    const qsizetype usersBefore = store().userProfiles().get().size();

    prompter.script.queueFile(broken);
    prompter.script.queueAnswer("Try Again");
    prompter.script.queueFile(dataPath("user-profile-export.json"));
    flows->importUserProfile();

    const auto questions = requestsOf(ScriptedPrompter::Kind::question);
    ASSERT_EQ(questions.size(), 1);
    const Prompter::Question& question = questions.first().question;
    EXPECT_EQ(question.title, "Import Failed");
    EXPECT_TRUE(question.message.startsWith("Invalid user profile.\n\nDetails: ")) << question.message.toStdString();
    EXPECT_GT(question.message.size(), QString("Invalid user profile.\n\nDetails: ").size()) << "the error's description";
    ASSERT_EQ(question.buttons.size(), 2);
    EXPECT_EQ(question.buttons.at(0).text, "Try Again");
    EXPECT_EQ(question.buttons.at(1).text, "Dismiss");

    EXPECT_EQ(requestsOf(ScriptedPrompter::Kind::open).size(), 2);
    EXPECT_EQ(requestsOf(ScriptedPrompter::Kind::open).first().file.suffix, "json");
    EXPECT_EQ(store().userProfiles().get().size(), usersBefore + 1);
    EXPECT_EQ(prompter.script.pendingCount(), 0);
}

TEST_F(ProfileFileFlowsTest, DismissOrACancelledDialogEndsTheFlowWithNothingChanged)
{
    const QString broken = supportPath("broken.json");
    writeFile(broken, "[]");
    const QList<PacsProfile> before = store().pacsProfiles().get();

    prompter.script.queueFile(broken);
    prompter.script.queueAnswer("Dismiss");
    flows->importPacsProfile();
    ASSERT_EQ(prompter.script.questionTitles(), QStringList{"Import Failed"});
    EXPECT_TRUE(prompter.script.requests().last().question.message.startsWith("Invalid PACS profile.\n\nDetails: "));

    prompter.script.queueFile(std::nullopt);
    flows->importPacsProfile();
    flows->exportActivePacsProfile(); // nothing queued: the save dialog is cancelled
    flows->exportActiveUserProfile();
    EXPECT_EQ(prompter.script.questionTitles().size(), 1) << "a cancelled dialog asks nothing";
    EXPECT_EQ(store().pacsProfiles().get().size(), before.size());
    EXPECT_EQ(requestsOf(ScriptedPrompter::Kind::open).size(), 2);
}

TEST_F(ProfileFileFlowsTest, TryAgainAfterAFailedExportOffersTheProfileActiveAtThatMoment)
{
    store().createUserProfile("Night / Shift");
    const UserProfile night = store().activeUserProfile();
    const UserProfile first = store().userProfiles().get().first();
    prompter.onAsk = [&] { store().selectUserProfile(first); };

    const QString written = supportPath("exported.json");
    prompter.script.queueFile(missingFolderPath("x.json"));
    prompter.script.queueAnswer("Try Again");
    prompter.script.queueFile(written);
    flows->exportActiveUserProfile();

    const auto saves = requestsOf(ScriptedPrompter::Kind::save);
    ASSERT_EQ(saves.size(), 2);
    EXPECT_EQ(saves.at(0).file.proposedName, "Night - Shift.json") << "a plain file name";
    EXPECT_EQ(saves.at(1).file.proposedName, first.name + ".json");
    EXPECT_EQ(prompter.script.questionTitles(), QStringList{"Export Failed"});
    EXPECT_TRUE(prompter.script.requests().at(1).question.message.startsWith("Could not export user profile.\n\nDetails: "));
    ASSERT_TRUE(QFile::exists(written));
    EXPECT_TRUE(readFile(written).contains(first.name.toUtf8()));
    EXPECT_FALSE(readFile(written).contains("Night / Shift"));
}

TEST_F(ProfileFileFlowsTest, ThePacsExportTakesTheUsersBindingAndNoStoredUserMeansNoExport)
{
    const QList<PacsProfile> pacs = store().pacsProfiles().get();
    ASSERT_GE(pacs.size(), 2);
    const QUuid bound = activeUser().pacsProfileId;
    const PacsProfile other = pacs.at(0).id == bound ? pacs.at(1) : pacs.at(0);
    const PacsProfile boundProfile = pacs.at(0).id == bound ? pacs.at(0) : pacs.at(1);
    ASSERT_EQ(boundProfile.id, bound);
    store().selectPacsProfile(other.id);

    flows->exportActivePacsProfile();
    const auto saves = requestsOf(ScriptedPrompter::Kind::save);
    ASSERT_EQ(saves.size(), 1);
    EXPECT_EQ(saves.first().file.proposedName, boundProfile.name + ".json");

    // An active id that names no stored profile: the store's stand-in is not exported.
    ProfileStoreSeed::activeUserProfileId(store()).set(QUuid::createUuid());
    flows->exportActiveUserProfile();
    EXPECT_EQ(requestsOf(ScriptedPrompter::Kind::save).size(), 1);
}

TEST_F(ProfileFileFlowsTest, ProposedNamesArePlainFileNames)
{
    EXPECT_EQ(ProfileFileFlows::proposedFileName("Radiologist - General"), "Radiologist - General.json");
    EXPECT_EQ(ProfileFileFlows::proposedFileName("a/b\\c"), "a-b-c.json");
    EXPECT_EQ(ProfileFileFlows::proposedFileName("..hidden"), "hidden.json");
    EXPECT_EQ(ProfileFileFlows::proposedFileName(QString("tab\there")), "tab-here.json");
    EXPECT_EQ(ProfileFileFlows::proposedFileName(""), "Profile.json");
    EXPECT_EQ(ProfileFileFlows::proposedFileName(".."), "Profile.json");
    EXPECT_EQ(ProfileFileFlows::proposedFileName("   "), "Profile.json");
}

} // namespace
