// The tray menu's import and export flows with a scripted file dialog.

#include "support/AppModelFixture.h"

#include "app/ProfileFileFlows.h"
#include "support/ProfileStoreSeed.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QFile>

using namespace velmor;
using namespace velmor::test;

namespace {

using Kind = ScriptedPrompter::Kind;

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

    QList<ScriptedPrompter::Request> requestsOf(Kind kind) const
    {
        QList<ScriptedPrompter::Request> found;
        for (const auto& request : prompter.script.requests())
            if (request.kind == kind)
                found.append(request);
        return found;
    }

    HookedPrompter prompter;
    std::unique_ptr<ProfileFileFlows> flows;
};

TEST_F(ProfileFileFlowsTest, AFailedImportAsksTryAgainRunsItAgainAndEscapeOrACancelledDialogEndsIt)
{
    const QString broken = supportPath("broken.json");
    writeFile(broken, "{ not json");
    const qsizetype users = store().userProfiles().get().size();
    prompter.script.queueFile(broken);
    prompter.script.queueAnswer("Try Again");
    prompter.script.queueFile(dataPath("user-profile-export.json"));
    flows->importUserProfile();

    const Prompter::Question question = requestsOf(Kind::question).value(0).question;
    EXPECT_EQ(question.title, "Import Failed");
    EXPECT_TRUE(question.message.startsWith("Invalid user profile.\n\nDetails: ")) << question.message.toStdString();
    EXPECT_GT(question.message.size(), QString("Invalid user profile.\n\nDetails: ").size()) << "the error's description";
    ASSERT_EQ(question.buttons.size(), 2);
    EXPECT_EQ(question.buttons.at(0).text, "Try Again");
    EXPECT_EQ(question.buttons.at(1).text, "Dismiss");
    EXPECT_EQ(requestsOf(Kind::open).size(), 2);
    EXPECT_EQ(requestsOf(Kind::open).first().file.suffix, "json");
    EXPECT_EQ(store().userProfiles().get().size(), users + 1);
    EXPECT_EQ(prompter.script.pendingCount(), 0);

    // Escape is "Dismiss": the flow ends; so does a cancelled dialog, without a question.
    const qsizetype pacs = store().pacsProfiles().get().size();
    prompter.script.queueFile(broken);
    flows->importPacsProfile();
    EXPECT_TRUE(prompter.script.requests().last().question.message.startsWith("Invalid PACS profile.\n\nDetails: "));
    flows->importPacsProfile();
    flows->exportActivePacsProfile();
    flows->exportActiveUserProfile();
    EXPECT_EQ(requestsOf(Kind::open).size(), 4);
    EXPECT_EQ(prompter.script.questionTitles(), (QStringList{"Import Failed", "Import Failed"}));
    EXPECT_EQ(store().pacsProfiles().get().size(), pacs);
}

TEST_F(ProfileFileFlowsTest, TryAgainAfterAFailedExportOffersTheProfileActiveAtThatMoment)
{
    store().createUserProfile("Night / Shift");
    const UserProfile first = store().userProfiles().get().first();
    prompter.onAsk = [&] { store().selectUserProfile(first); };
    const QString written = supportPath("exported.json");
    prompter.script.queueFile(supportPath("no-such-folder/x.json"));
    prompter.script.queueAnswer("Try Again");
    prompter.script.queueFile(written);
    flows->exportActiveUserProfile();

    const auto saves = requestsOf(Kind::save);
    ASSERT_EQ(saves.size(), 2);
    EXPECT_EQ(saves.at(0).file.proposedName, "Night - Shift.json") << "a plain file name";
    EXPECT_EQ(saves.at(1).file.proposedName, first.name + ".json");
    EXPECT_EQ(prompter.script.questionTitles(), QStringList{"Export Failed"});
    EXPECT_TRUE(prompter.script.requests().at(1).question.message.startsWith("Could not export user profile.\n\nDetails: "));
    EXPECT_TRUE(readFile(written).contains(first.name.toUtf8()));
    EXPECT_FALSE(readFile(written).contains("Night / Shift"));
}

TEST_F(ProfileFileFlowsTest, ThePacsExportTakesTheUsersBindingAndNoStoredUserMeansNoExport)
{
    const QList<PacsProfile> pacs = store().pacsProfiles().get();
    const QUuid bound = activeUser().pacsProfileId;
    const PacsProfile other = pacs.at(0).id == bound ? pacs.at(1) : pacs.at(0);
    const PacsProfile boundProfile = pacs.at(0).id == bound ? pacs.at(0) : pacs.at(1);
    store().selectPacsProfile(other.id);
    flows->exportActivePacsProfile();

    // An active id that names no stored profile: the store's stand-in is not exported.
    ProfileStoreSeed::activeUserProfileId(store()).set(QUuid::createUuid());
    flows->exportActiveUserProfile();
    const auto saves = requestsOf(Kind::save);
    ASSERT_EQ(saves.size(), 1);
    EXPECT_EQ(saves.first().file.proposedName, boundProfile.name + ".json");
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
