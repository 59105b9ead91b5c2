#include "StoreOperationsFixture.h"

#include "platform/Json.h"
#include "platform/RegularFile.h"
#include "store/ProfileExchange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>


using namespace velmor;
using namespace velmor::test;

namespace {

class ExchangeOperationsTest : public StoreOperationsFixture {
protected:
    void SetUp() override
    {
        StoreOperationsFixture::SetUp();
        general.lightingHex = "#00FF00";
        install({synthesis, eunity}, {general});
        ASSERT_TRUE(store->exportUserProfile(general, file("user.json")));
        store->exportPacsProfile(synthesis, file("pacs.json"));
    }
    QString file(const QString& name) const { return exchangeDir.filePath(name); }

    RadiologyTool zoom = makeTool("Zoom");
    RadiologyTool pan = makeTool("Pan");
    PacsProfile synthesis = makePacs("Synthesis", {zoom, pan, makeTool("Cine")});
    PacsProfile eunity = makePacs("eUnity", {makeTool("PAN")});
    UserProfile general = makeUser("General", synthesis.id,
                                   {makeMapping("tartarus_v2", "K01", zoom.id),
                                    makeMapping("tartarus_v2", "K02", pan.id),
                                    makeMapping("speechmike_smp3700", "REC", synthesis.tools[2].id)});
    QTemporaryDir exchangeDir;
};

} // namespace

TEST_F(ExchangeOperationsTest, ImportedProfilesAreNewAndFindTheirPacsProfileByIdThenByName)
{
    store->importUserProfile(file("user.json"));
    EXPECT_NE(user(1).id, general.id);
    EXPECT_EQ(user(1).mappings, general.mappings);

    // Elsewhere "SYNTHESIS" has tools of other ids: each mapping moves to the tool of
    // the same name; Cine has none and is dropped.
    const PacsProfile theirs = makePacs("SYNTHESIS", {makeTool("pan"), makeTool("ZOOM")});
    install({eunity, theirs}, {general});
    store->importUserProfile(file("user.json"));
    const UserProfile imported = user(1);
    EXPECT_EQ(imported.lightingHex, "#00FF00");
    EXPECT_EQ(imported.pacsProfileId, theirs.id);
    EXPECT_EQ(toolIdsOf(imported), (QList<QUuid>{theirs.tools[1].id, theirs.tools[0].id}));
    EXPECT_EQ(store->activeUserProfileId().get(), imported.id);

    store->importPacsProfile(file("pacs.json"));
    PacsProfile importedPacs = store->pacsProfiles().get().last();
    EXPECT_EQ(store->activePacsProfileId().get(), importedPacs.id);
    EXPECT_EQ(profilesOnDisk().pacsProfiles.last(), importedPacs);
    // The same document but for its new id.
    EXPECT_NE(importedPacs.id, synthesis.id);
    importedPacs.id = synthesis.id;
    EXPECT_EQ(ProfileExchange::encodePacsProfile(importedPacs), readFile(file("pacs.json")));
    EXPECT_EQ(takeNotices(), (QList<Notice>{{"Export Successful", "User profile 'General' has been exported."},
                                            {"Export Successful", "PACS profile 'Synthesis' has been exported."},
                                            {"Import Successful", "User profile 'General' has been imported."},
                                            {"Import Successful", "User profile 'General' has been imported."},
                                            {"Import Successful", "PACS profile 'Synthesis' has been imported."}}));
}

TEST_F(ExchangeOperationsTest, ImportedProfileOfAnUnknownPacsProfileGoesToTheFirstOne)
{
    // A bare profile (saved by an editor that adds a byte-order mark): no mappings.
    UserProfile bare = general;
    bare.pacsProfileId = QUuid::createUuid();
    writeFile(file("bare.json"), "\xEF\xBB\xBF" + json::encode(bare.toJson()));
    store->importUserProfile(file("bare.json"));
    EXPECT_EQ(user(1).pacsProfileId, synthesis.id);
    EXPECT_TRUE(user(1).mappings.isEmpty());

    // A store without PACS profiles takes the built-in ones first, and saves them.
    ProfileStoreSeed::pacsProfiles(*store).set({});
    store->importUserProfile(file("user.json"));
    const QList<PacsProfile> builtIn = store->pacsProfiles().get();
    EXPECT_EQ(namesOf(builtIn), (QStringList{"Synthesis", "Intelerad", "eUnity", "Change Healthcare"}));
    EXPECT_EQ(user(2).pacsProfileId, builtIn.first().id);
    EXPECT_EQ(profilesOnDisk().pacsProfiles, builtIn);
}

TEST_F(ExchangeOperationsTest, FailuresChangeNothingAndSayWhy)
{
    takeNotices();
    // The user profile's PACS profile is gone: a result the caller can check, no file.
    UserProfile unbound = general;
    unbound.pacsProfileId = QUuid::createUuid();
    EXPECT_FALSE(store->exportUserProfile(unbound, file("unbound.json")));
    EXPECT_FALSE(QFile::exists(file("unbound.json")));
    EXPECT_THROW((void)store->exportUserProfile(general, file("missing/user.json")), FileError);
    EXPECT_THROW(store->exportPacsProfile(synthesis, file("missing/pacs.json")), FileError);
    const QList<Notice> failed = takeNotices();
    ASSERT_EQ(failed.size(), 3);
    EXPECT_EQ(failed[0], (Notice{"Export Failed", "Could not find associated PACS profile."}));
    EXPECT_EQ(failed[1].first, "Export Failed");
    EXPECT_TRUE(failed[1].second.startsWith("Failed to export user profile: The file “user.json”"));
    EXPECT_TRUE(
        failed[2].second.startsWith("Failed to export PACS profile: The file “pacs.json” could not be written"));

    QJsonObject brokenExport = UserProfileExport{general, "Synthesis", {}}.toJson();
    brokenExport.insert("profile", QJsonObject{{"name", "x"}});
    // Neither form: the bare profile's fault is the one reported. The cap is 4 MB exactly.
    const QList<std::pair<QByteArray, QString>> cases{
        {"{\"name\": \"x\"}", "id: required key is missing"},
        {json::encode(brokenExport), "id: required key is missing"},
        {QByteArray(ProfileExchange::maxFileSize, ' '), "the data is not valid JSON"},
        {QByteArray(ProfileExchange::maxFileSize + 1, ' '),
         "The file “in.json” is too large to be a profile (more than 4 MB)."},
    };
    for (const auto& [bytes, text] : cases) {
        writeFile(file("in.json"), bytes);
        EXPECT_THROW(store->importUserProfile(file("in.json")), std::exception);
        EXPECT_THROW(store->importPacsProfile(file("in.json")), std::exception);
        EXPECT_EQ(takeNotices(), (QList<Notice>{{"Import Failed", "Failed to import user profile: " + text},
                                                {"Import Failed", "Failed to import PACS profile: " + text}}));
    }
    EXPECT_THROW(store->importUserProfile(file("in.json")), FileError); // still the too-large one
    EXPECT_THROW(store->importUserProfile(file("none.json")), FileError);
    EXPECT_EQ(takeNotices().value(1).second,
              "Failed to import user profile: The file “none.json” could not be read: No such file or directory.");
    // Devices, pipes and folders are not read at all, also not through a link.
    ASSERT_EQ(::mkfifo(QFile::encodeName(file("pipe.json")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(file("pipe.json"), file("to-pipe.json")));
    for (const QString& special : {QStringLiteral("/dev/zero"), exchangeDir.path(), file("pipe.json"), file("to-pipe.json")}) {
        EXPECT_THROW(store->importPacsProfile(special), FileError);
        EXPECT_TRUE(takeNotices().value(0).second.endsWith("could not be read: it is not a regular file."));
    }
    EXPECT_EQ(savesSinceLastCheck(), 0);
    // A link the user made to a regular file is followed.
    ASSERT_TRUE(QFile::link(file("pacs.json"), file("to-pacs.json")));
    store->importPacsProfile(file("to-pacs.json"));
    EXPECT_EQ(savesSinceLastCheck(), 1);
}

// An export writes a new file or replaces a regular one (a link's target for a link
// to one), and never puts a file in place of a FIFO, a device or a folder.
TEST_F(ExchangeOperationsTest, ExportReplacesOnlyARegularFile)
{
    const QByteArray exported = readFile(file("pacs.json"));
    writeFile(file("old.json"), "old");
    ASSERT_TRUE(QFile::link(file("old.json"), file("to-old.json")));
    store->exportPacsProfile(synthesis, file("to-old.json"));
    EXPECT_EQ(readFile(file("old.json")), exported) << "the link's target is written";
    EXPECT_EQ(QFileInfo(file("to-old.json")).symLinkTarget(), file("old.json")) << "the link stays";

    ASSERT_EQ(::mkfifo(QFile::encodeName(file("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(QDir(exchangeDir.path()).mkdir("folder.json"));
    ASSERT_TRUE(QFile::link(file("pipe"), file("to-pipe.json")));
    // A device node of our own, where the system lets us make one (as root): the
    // real ones are never the target of a test.
    const bool device = ::mknod(QFile::encodeName(file("null")).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    QList<std::pair<QString, QString>> refused{
        {file("pipe"), "“" + file("pipe") + "” is a FIFO, not a regular file."},
        {file("folder.json"), "“" + file("folder.json") + "” is a folder, not a regular file."},
        {file("to-pipe.json"), "“" + file("to-pipe.json") + "” is a link to “" + file("pipe") +
                                   "”, which is a FIFO, not a regular file."}};
    if (device)
        refused.append({file("null"), "“" + file("null") + "” is a device, not a regular file."});
    takeNotices();
    for (const auto& [path, why] : refused) {
        EXPECT_THROW((void)store->exportUserProfile(general, path), FileError);
        EXPECT_THROW(store->exportPacsProfile(synthesis, path), FileError);
        const QString shown = "The file “" + QFileInfo(path).fileName() + "” could not be written: " + why;
        EXPECT_EQ(takeNotices(), (QList<Notice>{{"Export Failed", "Failed to export user profile: " + shown},
                                                {"Export Failed", "Failed to export PACS profile: " + shown}}));
    }
    EXPECT_EQ(files::fileKind(file("pipe")), files::FileKind::other);
    EXPECT_EQ(files::fileKind(file("folder.json")), files::FileKind::folder);
    EXPECT_EQ(files::fileKind(file("to-pipe.json")), files::FileKind::link);
    EXPECT_TRUE(!device || files::fileKind(file("null")) == files::FileKind::other);
    EXPECT_TRUE(QDir(exchangeDir.path()).entryList({"*.velmor-*"}, QDir::AllEntries | QDir::Hidden).isEmpty())
        << "no temporary file left";
}

namespace {

// Takes the profile an import added: it must survive its own JSON form.
template <typename Profile>
void takeAdded(QList<Profile>& profiles)
{
    const Profile added = profiles.takeLast();
    EXPECT_EQ(Profile::fromJson(json::parse(json::encode(added.toJson()))), added);
}

} // namespace

// Each member of both exchange files in turn, twice, its value swapped for the next of
// other types, deep nesting or invalid text: refused with a decoding error and nothing
// changed, or one profile added that survives its own JSON form, and nothing else.
TEST_F(ExchangeOperationsTest, DamagedFilesAreRefusedOrAddExactlyOneProfile)
{
    const QByteArray deep = QByteArray(5000, '[') + QByteArray(5000, ']');
    const QByteArray values[] = {"null", "0", "-1.5e308", "\"x\"", "[{}]", "{}", "\"\xC3\x28\xFF\"", deep,
                                 "\"00000000-0000-0000-0000-00000000000G\""};
    const QString path = file("damaged.json");
    const QByteArray before = store->makeSyncPayload();
    int damaged = 0;
    int accepted = 0;
    takeNotices();
    for (const bool userFile : {true, false, true, false}) {
        QList<QByteArray> lines =
            readFile(dataPath(userFile ? "user-profile-export.json" : "pacs-profile-export.json")).split('\n');
        for (QByteArray& line : lines) {
            const QByteArray original = line;
            const qsizetype colon = line.indexOf("\": ");
            if (colon < 0)
                continue;
            line = original.left(colon + 3) + values[damaged++ % std::size(values)] + (line.endsWith(',') ? "," : "");
            SCOPED_TRACE(line.toStdString());
            writeFile(path, lines.join('\n'));
            line = original;
            try {
                userFile ? store->importUserProfile(path) : store->importPacsProfile(path);
            } catch (const json::DecodeError&) {
            }
            const QList<Notice> notices = takeNotices();
            ASSERT_EQ(notices.size(), 1);
            QList<PacsProfile> pacs = store->pacsProfiles().get();
            QList<UserProfile> users = store->userProfiles().get();
            if (notices[0].first == "Import Successful") {
                ++accepted;
                userFile ? takeAdded(users) : takeAdded(pacs);
                install({synthesis, eunity}, {general});
            }
            ASSERT_EQ(pacs, (QList<PacsProfile>{synthesis, eunity}));
            ASSERT_EQ(users, QList<UserProfile>{general});
            ASSERT_EQ(store->makeSyncPayload(), before);
        }
    }
    // Some members take any value, or the test proves little.
    EXPECT_GT(accepted, 10);
}
