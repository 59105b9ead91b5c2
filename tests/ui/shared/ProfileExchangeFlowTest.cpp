// Import and export of profile files, as the tray menu and the mapping window
// word and choose them, on scripted file dialogs and questions.
#include "support/AppModelFixture.h"

#include "support/ProfileStoreSeed.h"
#include "model/FileNames.h"
#include "store/FileSystem.h"
#include "store/ProfileExchange.h"
#include "ui/shared/ProfileExchangeFlow.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

using namespace velmor;
using namespace velmor::test;

namespace {

using Kind = ScriptedPrompter::Kind;

class ProfileExchangeFlowTest : public AppModelFixture {
protected:
    ProfileExchangeFlowTest() { start(); }

    ProfileExchangeFlow& flow(bool menuBar)
    {
        auto choices = menuBar ? ProfileExchangeFlow::menuBar(store()) : ProfileExchangeFlow::mappingWindow(*model);
        flow_ = std::make_unique<ProfileExchangeFlow>(store(), prompter, std::move(choices), [this] { ++changes; });
        return *flow_;
    }
    QList<Kind> kinds() const
    {
        QList<Kind> list;
        for (const ScriptedPrompter::Request& request : prompter.requests())
            list.append(request.kind);
        return list;
    }
    QString lastMessage() const { return prompter.requests().last().question.message; }

    ScriptedPrompter prompter;
    int changes = 0;
    std::unique_ptr<ProfileExchangeFlow> flow_;
};

TEST_F(ProfileExchangeFlowTest, CancelledDialogsDoNothingInEitherWindow)
{
    const QList<UserProfile> users = store().userProfiles().get();
    for (const bool menuBar : {true, false}) {
        ProfileExchangeFlow& exchange = flow(menuBar);
        exchange.importUserProfile();
        exchange.exportUserProfile();
        exchange.importPacsProfile();
        exchange.exportPacsProfile();
    }
    const QList<Kind> once{Kind::open, Kind::save, Kind::open, Kind::save};
    EXPECT_EQ(kinds(), once + once);
    EXPECT_EQ(store().userProfiles().get(), users);
    EXPECT_EQ(changes, 0);
}

// Each window keeps its own wording; the question is open while errorAlert is
// set, "Dismiss" only closes it, and "Try Again" opens the dialog again.
TEST_F(ProfileExchangeFlowTest, AFailedImportAsksInTheWindowsWordsAndTryAgainImportsTheNextFile)
{
    const QString broken = supportPath("broken.json");
    writeFile(broken, "{ not json");
    for (const auto& [menuBar, user, pacs] :
         {std::tuple{true, "Invalid user profile.", "Invalid PACS profile."},
          std::tuple{false, "Invalid user profile format.", "Invalid PACS profile format."}}) {
        ProfileExchangeFlow& exchange = flow(menuBar);
        std::optional<ActionError> shown;
        prompter.whileAsking = [&] { shown = exchange.errorAlert(); };
        prompter.queueFile(broken);
        exchange.importUserProfile();
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->title, "Import Failed");
        EXPECT_TRUE(lastMessage().startsWith(QString(user) + "\n\nDetails: ")) << lastMessage().toStdString();
        EXPECT_GT(lastMessage().size(), QString(user).size() + 11) << "with the error";
        EXPECT_EQ(prompter.requests().last().question.buttons,
                  (QList<Prompter::Button>{{"Try Again", Prompter::Role::normal}, {"Dismiss", Prompter::Role::cancel}}));
        EXPECT_EQ(Prompter::defaultButton(prompter.requests().last().question), "Dismiss") << "Return is safe";
        EXPECT_FALSE(exchange.errorAlert()) << "Escape is Dismiss: closed";
        EXPECT_EQ(changes, 2);

        prompter.queueFile(broken);
        exchange.importPacsProfile();
        EXPECT_TRUE(lastMessage().startsWith(QString(pacs) + "\n\nDetails: "));
        changes = 0;
    }
    prompter.whileAsking = nullptr;

    const qsizetype users = store().userProfiles().get().size();
    prompter.queueFile(broken);
    prompter.queueAnswer("Try Again");
    prompter.queueFile(dataPath("user-profile-export.json"));
    flow(true).importUserProfile();
    EXPECT_EQ(store().userProfiles().get().size(), users + 1);
    EXPECT_EQ(prompter.pendingCount(), 0);
}

// A file that cannot be read is no invalid profile: the question names the cause the
// banner names (a pipe, a device, a file too large), with the path, and Return dismisses it.
TEST_F(ProfileExchangeFlowTest, AnImportOfAFileThatCannotBeReadNamesItsCause)
{
    const QString fifo = supportPath("pipe.json");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString large = supportPath("large.json");
    writeFile(large, QByteArray(ProfileExchange::maxFileSize + 1, ' '));
    const qsizetype pacsCount = store().pacsProfiles().get().size();
    for (const auto& [path, cause] : {std::pair{fifo, QStringLiteral("could not be read: it is not a regular file")},
                                      std::pair{large, QStringLiteral("is too large to be a profile")},
                                      std::pair{QStringLiteral("/dev/zero"), QStringLiteral("not a regular file")}}) {
        prompter.queueFile(path);
        flow(true).importPacsProfile();
        const Prompter::Question question = prompter.requests().last().question;
        EXPECT_EQ(question.title, "Import Failed");
        EXPECT_FALSE(question.message.contains("Invalid PACS profile")) << question.message.toStdString();
        EXPECT_TRUE(question.message.contains(cause)) << question.message.toStdString();
        EXPECT_TRUE(question.message.endsWith("\n\nDetails: " + QDir::toNativeSeparators(path)));
        queue->runUntilIdle(); // the store's banner comes on the main queue
        ASSERT_TRUE(model->alertMessage().get());
        EXPECT_TRUE(model->alertMessage().get()->message.contains(cause)) << "the banner tells the same cause";
        EXPECT_EQ(Prompter::defaultButton(question), "Dismiss");
    }
    EXPECT_EQ(store().pacsProfiles().get().size(), pacsCount);
}

TEST_F(ProfileExchangeFlowTest, AFailedPacsExportAsksAndTryAgainOffersTheSameProfileUnderItsName)
{
    const PacsProfile pacs = model->activePacsProfile();
    prompter.queueFile(supportPath("missing/pacs.json"));
    prompter.queueAnswer("Try Again");
    prompter.queueFile(supportPath("pacs.json"));
    flow(false).exportPacsProfile();

    ASSERT_EQ(kinds(), (QList<Kind>{Kind::save, Kind::question, Kind::save}));
    EXPECT_EQ(prompter.questionTitles(), QStringList{"Export Failed"});
    EXPECT_TRUE(prompter.requests().at(1).question.message.startsWith(
        "Could not export PACS profile.\n\nDetails: "));
    EXPECT_EQ(prompter.requests().at(2).file.proposedName, pacs.name + ".json");
    EXPECT_TRUE(readFile(supportPath("pacs.json")).contains(pacs.name.toUtf8()));
    EXPECT_FALSE(flow_->errorAlert());
}

TEST_F(ProfileExchangeFlowTest, TryAgainAfterAFailedExportOffersTheProfileActiveAtThatMoment)
{
    store().createUserProfile("Night / Shift");
    const UserProfile first = store().userProfiles().get().first();
    prompter.whileAsking = [&] { store().selectUserProfile(first); };
    const QString written = supportPath("exported.json");
    prompter.queueFile(supportPath("no-such-folder/x.json"));
    prompter.queueAnswer("Try Again");
    prompter.queueFile(written);
    flow(true).exportUserProfile();

    ASSERT_EQ(kinds(), (QList<Kind>{Kind::save, Kind::question, Kind::save}));
    EXPECT_EQ(prompter.requests().at(0).file.proposedName, "Night - Shift.json") << "a plain file name";
    EXPECT_EQ(prompter.requests().at(2).file.proposedName, first.name + ".json");
    EXPECT_TRUE(prompter.requests().at(1).question.message.startsWith("Could not export user profile."));
    EXPECT_TRUE(readFile(written).contains(first.name.toUtf8()));
}

// The profile chosen as the dialog opens is written; one deleted meanwhile fails
// with a question; one whose PACS profile is gone is reported by the store alone.
TEST_F(ProfileExchangeFlowTest, TheExportedUserIsTheOneChosenAsTheDialogOpened)
{
    store().renameUserProfile(activeUser().id, "Dr/Smith");
    const UserProfile chosen = activeUser();
    store().createUserProfile("Other");
    store().selectUserProfile(chosen);
    prompter.whileSaving = [&] { store().selectUserProfile(store().userProfiles().get().last()); };
    prompter.queueFile(supportPath("export.json"));
    flow(false).exportUserProfile();
    EXPECT_EQ(prompter.requests().first().file.proposedName, "Dr-Smith.json");
    EXPECT_EQ(activeUser().name, "Other");
    EXPECT_TRUE(readFile(supportPath("export.json")).contains("Dr/Smith"));
    EXPECT_FALSE(QDir(supportPath("Dr")).exists());

    const UserProfile other = activeUser();
    prompter.whileSaving = [&] { store().deleteUserProfile(other.id); };
    prompter.queueFile(supportPath("gone.json"));
    flow(true).exportUserProfile();
    EXPECT_EQ(lastMessage(), "Could not export user profile.\n\nDetails: The user profile no longer exists.");
    EXPECT_FALSE(QFile::exists(supportPath("gone.json")));

    prompter.whileSaving = nullptr;
    UserProfile unbound = activeUser();
    unbound.pacsProfileId = QUuid::createUuid();
    ProfileStoreSeed::userProfiles(store()).set({unbound});
    const qsizetype asked = prompter.requests().size();
    prompter.queueFile(supportPath("unbound.json"));
    flow(false).exportUserProfile();
    queue->runUntilIdle();
    EXPECT_EQ(prompter.requests().size(), asked + 1) << "no question: the store reports it";
    EXPECT_FALSE(QFile::exists(supportPath("unbound.json")));
}

// The tray exports only a stored active profile; the mapping window exports the
// store's active profile, which falls back to the first.
TEST_F(ProfileExchangeFlowTest, AnActiveIdNamingNoStoredProfileExportsNothingFromTheTrayAndTheFirstFromTheWindow)
{
    ProfileStoreSeed::activeUserProfileId(store()).set(QUuid::createUuid());
    flow(true).exportUserProfile();
    EXPECT_TRUE(kinds().isEmpty());
    flow(false).exportUserProfile();
    ASSERT_EQ(kinds(), QList<Kind>{Kind::save});
    EXPECT_EQ(prompter.requests().first().file.proposedName,
              store().userProfiles().get().first().name + ".json");
}

TEST(ProfileExchangeFileName, APlainFileNameOrProfileJson)
{
    for (const auto& [name, file] :
         {std::pair{QString("a/b\\c"), "a-b-c.json"}, {"..hidden", "hidden.json"}, {"tab\there", "tab-here.json"},
          {QString("a\\b") + QChar(0) + "c\n", "a-b-c-.json"}, {QString("x") + QChar(0xD800) + "y", "x-y.json"},
          {"Radiologist - General", "Radiologist - General.json"}, {"Ré 😀", "Ré 😀.json"}, {"", "Profile.json"},
          {"..", "Profile.json"}, {"   ", "Profile.json"}})
        EXPECT_EQ(ProfileExchangeFlow::exportFileName(name), file) << name.toStdString();
}

// The name offered for a profile that reads backwards or is too long for the file
// system: no direction mark, whole characters, and room for ".json" and the
// temporary file of the write, so that accepting it exports.
TEST_F(ProfileExchangeFlowTest, TheOfferedNameReadsAsWrittenFitsTheFileSystemAndExports)
{
    EXPECT_EQ(ProfileExchangeFlow::exportFileName(QChar(0x202E) + QStringLiteral("abc RLO user")),
              QStringLiteral("-abc RLO user.json"));
    EXPECT_EQ(ProfileExchangeFlow::exportFileName(QChar(0x2067) + QStringLiteral("Lee") + QChar(0x2069)),
              QStringLiteral("-Lee-.json"));
    const QString accents = QStringLiteral("e\u0301").repeated(150);
    const QString names[] = {QString(300, u'x'), QString(120, QChar(0x6F22)), accents + QString(150, QChar(0x6F22))};
    for (const QString& name : names) {
        store().renameUserProfile(activeUser().id, name);
        prompter.queueFile(std::nullopt);
        flow(true).exportUserProfile();
        const QString offered = prompter.requests().last().file.proposedName;
        SCOPED_TRACE(offered.toStdString());
        EXPECT_TRUE(offered.endsWith(".json"));
        EXPECT_TRUE(name.startsWith(offered.chopped(5)));
        EXPECT_LE(offered.toUtf8().size() + LocalFileSystem::maxTemporarySuffixBytes, maxFileNameBytes);
        EXPECT_GT(offered.toUtf8().size() + LocalFileSystem::maxTemporarySuffixBytes, maxFileNameBytes - 4)
            << "cut no shorter than it must";
        EXPECT_FALSE(offered.chopped(5).endsWith(QChar(0x0065))) << "an accent stays with its letter";

        prompter.queueFile(supportPath(offered));
        flow(true).exportUserProfile();
        EXPECT_TRUE(QFile::exists(supportPath(offered)));
    }
}

} // namespace
