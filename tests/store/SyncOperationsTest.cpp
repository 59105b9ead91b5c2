#include "StoreOperationsFixture.h"

#include "platform/RegularFile.h"
#include "platform/Text.h"
#include "store/ProfileExchange.h"
#include "store/SyncChangeSummary.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

using SyncOperationsTest = StoreOperationsFixture;

TEST_F(SyncOperationsTest, CustomIconNamesAreUniqueSortedAndPlainFileNamesOnly)
{
    const auto addTool = [&](const QString& icon, qsizetype pacs, ToolIconSource source) {
        RadiologyTool tool = makeTool("Custom");
        tool.iconSource = source;
        tool.customIcon = icon;
        store->upsertTool(tool, store->pacsProfiles().get().at(pacs).id);
    };
    for (const char* icon : {"zeta.svg", "Alpha.svg", "beta.svg", " ", "../escape.svg", ".hidden.svg", "a/b.svg",
                             "a\\b.svg", "bell\u0007.svg", "..", ""})
        addTool(icon, 0, ToolIconSource::custom);
    addTool("beta.svg", 1, ToolIconSource::custom);
    addTool("stale.svg", 1, ToolIconSource::system);
    EXPECT_EQ(store->referencedCustomIconNames(), (QStringList{" ", "Alpha.svg", "beta.svg", "zeta.svg"}));
}

// The change notice's text, between the store's state and a payload's.
std::string body(const LoadResult& current, const LoadResult& incoming)
{
    const auto notice = SyncChangeSummary::summarize(current, incoming);
    return notice ? notice->body.toStdString() : "<none>";
}

// Synthesis with two tools, one user mapped on the keypad.
struct SyncChangeSummaryTest : ::testing::Test {
    RadiologyTool zoom = makeTool("Zoom");
    RadiologyTool pan = makeTool("Pan");
    PacsProfile synthesis = makePacs("Synthesis", {zoom, pan});
    UserProfile general = makeUser("General", synthesis.id, {makeMapping("tartarus_v2", "K01", zoom.id)});
    LoadResult current{{synthesis}, {general}, synthesis.id, general.id, false};
};

TEST_F(SyncChangeSummaryTest, ListsEveryKindOfChangeInItsFixedOrder)
{
    const PacsProfile intelerad = makePacs("Intelerad");
    const UserProfile newUser = makeUser("New User", intelerad.id);
    current.pacsProfiles.append(makePacs("Old PACS"));
    current.userProfiles.append(makeUser("Gone User", synthesis.id));
    synthesis.defaultLightingHex = "#7800D1";
    general.mappings = {makeMapping("tartarus_v2", "K02", zoom.id), makeMapping("tartarus_v2", "K01", pan.id)};
    LoadResult incoming{{synthesis, intelerad}, {general, newUser}, intelerad.id, newUser.id, false};
    EXPECT_EQ(body(current, incoming),
              "PACS profiles added: Intelerad; PACS profiles updated: Synthesis; PACS profiles removed: Old PACS; "
              "User profiles added: New User; User profiles updated: General; User profiles removed: Gone User; "
              "Button 01 remapped to \"Pan\"; Button 02 mapped to \"Zoom\"; "
              "Active PACS profile: Intelerad; Active user profile: New User");

    // Active lines only for the active ids a payload carries, with the names as it
    // has them; an id it lacks reads "Unknown".
    current = incoming;
    current.activeUserProfileId = QUuid::createUuid();
    incoming.activePacsProfileId.reset();
    incoming.activeUserProfileId.reset();
    EXPECT_EQ(body(current, incoming), "<none>");
    incoming.userProfiles[1].name = current.userProfiles[1].name = "  Second  ";
    incoming.activeUserProfileId = newUser.id;
    incoming.activePacsProfileId = QUuid::createUuid();
    EXPECT_EQ(body(current, incoming), "Active PACS profile: Unknown; Active user profile:   Second  ");
}

TEST_F(SyncChangeSummaryTest, NameListsAndButtonLabelsAreTrimmedSortedAndCut)
{
    EXPECT_EQ(SyncChangeSummary::formatNameList({" ", "\n\t", ""}), "Unknown");
    EXPECT_EQ(SyncChangeSummary::formatNameList({"charlie\n", " bravo", "Alpha"}), "Alpha, bravo, charlie");
    EXPECT_EQ(SyncChangeSummary::formatNameList({"delta", "Alpha", "charlie", "bravo", "echo"}),
              "Alpha, bravo, charlie +2 more");
    // Names equal but for letter case keep their plain order.
    LoadResult incoming = current;
    incoming.userProfiles += {makeUser("zed", synthesis.id), makeUser("Zed", synthesis.id)};
    EXPECT_EQ(body(current, incoming), "User profiles added: Zed, zed");

    // Labels that already say "button " (any case) stay; a blank one falls back to the id as passed.
    const QList<std::pair<QString, QString>> labels{{" K99 ", "Button K99"}, {"BUTTON 3", "BUTTON 3"},
                                                    {"Buttons", "Button Buttons"}, {" \n", "Button  \n"}};
    for (const auto& [id, label] : labels)
        EXPECT_EQ(SyncChangeSummary::buttonDisplayName("tartarus_v2", id), label);
}

// Another machine's names of a million characters: the notice carries each cut once, to
// the length Velmor shows a name, at a character's end; the notifier escapes it later.
TEST_F(SyncChangeSummaryTest, NamesOfAMillionCharactersAreCutWhereTheNoticeIsComposed)
{
    const QString huge = QString("Night\u202Eshift e\u0301 ").repeated(62'500);
    LoadResult incoming = current;
    incoming.pacsProfiles[0].tools[0].name = huge + "Zoom";
    incoming.userProfiles[0].name = huge + "General";
    incoming.userProfiles[0].mappings.append(makeMapping("hid_1234", huge, zoom.id));
    const UserProfile added = makeUser(huge + "Added", synthesis.id, {makeMapping("tartarus_v2", "K02", pan.id)});
    incoming.userProfiles.append(added);
    incoming.activeUserProfileId = added.id;
    const QString notice = QString::fromStdString(body(current, incoming));
    EXPECT_LT(notice.size(), 3000);
    const QString cut = text::shortenedName(huge);
    EXPECT_LE(cut.size(), text::longestShownName);
    EXPECT_TRUE(huge.startsWith(cut.chopped(1)) && cut.endsWith(QChar(0x2026)));
    EXPECT_NE(huge.at(cut.size() - 1), QChar(0x0301)) << "no accent parted from its letter";
    EXPECT_TRUE(notice.contains("User profiles added: " + cut)) << notice.left(300).toStdString();
    EXPECT_TRUE(notice.contains("Active user profile: " + cut)) << notice.right(300).toStdString();
    EXPECT_TRUE(notice.contains("; Button " + cut + " mapped to \"" + cut + "\";")) << notice.toStdString();
    EXPECT_EQ(SyncChangeSummary::formatNameList({huge, huge}), cut + ", " + cut);
}

TEST_F(SyncChangeSummaryTest, MappingLinesAreSortedCutAndPrefixedOnlyForSeveralProfileNames)
{
    LoadResult incoming = current;
    incoming.userProfiles[0].mappings = {
        makeMapping("speechmike_smp3700", "REC", pan.id), makeMapping("speechmike_smp3700", "FWD", pan.id),
        makeMapping("mouse_5_button", "LEFT_CLICK", zoom.id), makeMapping("hid_1234", "B7", zoom.id)};
    // Five changes: four new mappings and the keypad key that lost its mapping.
    EXPECT_EQ(body(current, incoming),
              "User profiles updated: General; Button 01 unmapped; Button B7 mapped to \"Zoom\"; "
              "Button Fwd mapped to \"Pan\"; +2 more mapping changes");

    // Two profiles of different names prefix each line with the name; of one name, not.
    current.userProfiles.append(makeUser("Other", synthesis.id, {makeMapping("tartarus_v2", "K02", zoom.id)}));
    incoming = current;
    incoming.userProfiles[0].mappings[0].toolId = pan.id;
    incoming.userProfiles[1].mappings.clear();
    EXPECT_EQ(body(current, incoming), "User profiles updated: General, Other; General: Button 01 remapped to \"Pan\"; "
                                       "Other: Button 02 unmapped");
    incoming.userProfiles[1].name = current.userProfiles[1].name = "General";
    EXPECT_EQ(body(current, incoming),
              "User profiles updated: General, General; Button 01 remapped to \"Pan\"; Button 02 unmapped");
}

TEST_F(SyncChangeSummaryTest, ToolNamesComeFromTheNewPacsProfileThenTheStoredOneElseUnknownTool)
{
    const RadiologyTool cine = makeTool("Cine");
    current.pacsProfiles.append(makePacs("eUnity", {cine}));
    LoadResult incoming = current;
    incoming.pacsProfiles[1].tools[0].name = "Cine Loop";
    incoming.userProfiles[0].pacsProfileId = current.pacsProfiles[1].id;
    incoming.userProfiles[0].mappings[0].toolId = cine.id;
    EXPECT_EQ(body(current, incoming),
              "PACS profiles updated: eUnity; User profiles updated: General; Button 01 remapped to \"Cine Loop\"");
    incoming.pacsProfiles.removeLast();
    EXPECT_EQ(body(current, incoming),
              "PACS profiles removed: eUnity; User profiles updated: General; Button 01 remapped to \"Cine\"");
    incoming.userProfiles[0].mappings[0].toolId = QUuid::createUuid();
    EXPECT_EQ(body(current, incoming),
              "PACS profiles removed: eUnity; User profiles updated: General; Button 01 remapped to \"Unknown Tool\"");

    // Mappings only reordered, or re-created with new ids, give no mapping line.
    current.userProfiles[0].mappings.append(makeMapping("tartarus_v2", "K02", pan.id));
    incoming = current;
    std::swap(incoming.userProfiles[0].mappings[0], incoming.userProfiles[0].mappings[1]);
    incoming.userProfiles[0].mappings[0].id = QUuid::createUuid();
    EXPECT_EQ(body(current, incoming), "User profiles updated: General");
}

} // namespace

namespace {

// Profiles made on each machine with ids of their own (the built-in ones) are the
// ones the user had when their names match: updated only when more than ids differ.
TEST_F(SyncChangeSummaryTest, AProfileUnderTheNameOfOneRemovedTakesItsPlace)
{
    const auto remade = [](PacsProfile pacs) {
        pacs.id = QUuid::createUuid();
        for (RadiologyTool& tool : pacs.tools)
            tool.id = QUuid::createUuid();
        return pacs;
    };
    PacsProfile elsewhere = remade(synthesis);
    UserProfile sameUser = makeUser("General", elsewhere.id, {makeMapping("tartarus_v2", "K01", elsewhere.tools[0].id)});
    LoadResult incoming{{elsewhere}, {sameUser}, elsewhere.id, sameUser.id, false};
    EXPECT_EQ(body(current, incoming), "<none>");

    // Other tools, another mapped tool: updated, never added and removed.
    elsewhere.tools[1].name = "Pan 2";
    sameUser.mappings[0].toolId = elsewhere.tools[1].id;
    incoming = {{elsewhere, makePacs("SYNTHESIS")}, {sameUser}, synthesis.id, general.id, false};
    EXPECT_EQ(body(current, incoming), "PACS profiles added: SYNTHESIS; PACS profiles updated: Synthesis; "
                                       "User profiles updated: General");
}

} // namespace

namespace {

// Profiles the cloud's payload lacks go to exchange files beside profiles.json that
// the import reads back; names from data become plain file names, no file is
// written over, and the built-in profiles nobody changed stay out.
TEST_F(SyncOperationsTest, ProfilesMissingFromThePayloadAreKeptAsPlainNamedFilesBesideTheProfiles)
{
    const QByteArray untouched = store->makeSyncPayload();
    EXPECT_EQ(store->keepProfilesMissingFrom("{}"), QStringList());
    store->createPacsProfile("../Night");
    for (const QString& name : {QString("profiles"), QString("Same"), QString("Same"), QString(".hidden\n"),
                                QString(120, u'x') + QString::fromUtf8("\xF0\x9F\x98\x80")})
        store->createUserProfile(name);
    writeFile(supportPath("Same (user profile).json"), "mine");
    // A link and a FIFO at names the kept files would take: each stays as it is.
    QTemporaryDir outside;
    writeFile(outside.filePath("theirs"), "theirs");
    ASSERT_TRUE(QFile::link(outside.filePath("theirs"), supportPath("profiles (user profile).json")));
    ASSERT_EQ(::mkfifo(qPrintable(supportPath("hidden (user profile).json")), 0600), 0);
    const QByteArray mine = store->makeSyncPayload();
    // The same profiles made on another machine: every id its own.
    QString elsewhere = QString::fromUtf8(untouched);
    const QRegularExpression uuid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    for (const QString& id : [&] {
             QStringList ids;
             for (const QRegularExpressionMatch& match : uuid.globalMatch(elsewhere))
                 ids.append(match.captured());
             ids.removeDuplicates();
             return ids;
         }())
        elsewhere.replace(id, QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    EXPECT_TRUE(store->sharesProfilesWith(mine));
    EXPECT_TRUE(store->sharesProfilesWith(untouched));
    EXPECT_FALSE(store->sharesProfilesWith(elsewhere.toUtf8()));

    // Against it, each profile made here goes to a file; the built-in ones do not.
    const QStringList kept = store->keepProfilesMissingFrom(elsewhere.toUtf8());
    const QString longName = QString(120, u'x') + QString::fromUtf8("\xF0\x9F\x98\x80") + " (user profile).json";
    EXPECT_EQ(kept, (QStringList{"-Night (PACS profile).json", "profiles (user profile) 2.json",
                                 "Same (user profile) 2.json", "Same (user profile) 3.json",
                                 "hidden (user profile) 2.json", longName}));
    EXPECT_EQ(readFile(supportPath("Same (user profile).json")), "mine");
    EXPECT_EQ(readFile(outside.filePath("theirs")), "theirs");
    EXPECT_EQ(files::fileKind(supportPath("hidden (user profile).json")), files::FileKind::other);
    EXPECT_EQ(
        ProfileExchange::decodeUserProfile(readFile(supportPath("profiles (user profile) 2.json"))).pacsProfileName,
        "../Night");
    EXPECT_EQ(ProfileExchange::decodePacsProfile(readFile(supportPath("-Night (PACS profile).json"))).name, "../Night");
    EXPECT_TRUE(QFile::exists(store->fileURL()));
    // Against its own payload, nothing.
    EXPECT_EQ(store->keepProfilesMissingFrom(mine), QStringList());
}

} // namespace

namespace {

// Kept files' names are cut by UTF-8 bytes, between characters, so that the name, its
// number and the temporary name of the atomic write fit the file system; a profile
// kept at an earlier attempt is found again, not written twice.
TEST_F(SyncOperationsTest, KeptFileNamesFitTheFileSystemAndAreNotKeptTwice)
{
    const QString cjk = QString(80, QChar(0x6F22));
    const QString accented = QString("e\u0301").repeated(120);
    for (const QString& name : {cjk, cjk, accented, QString(300, u'x')})
        store->createUserProfile(name);
    QString elsewhere = QString::fromUtf8(store->makeSyncPayload());
    for (const UserProfile& profile : store->userProfiles().get())
        elsewhere.replace(profile.id.toString(QUuid::WithoutBraces).toUpper(), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    for (const PacsProfile& profile : store->pacsProfiles().get())
        elsewhere.replace(profile.id.toString(QUuid::WithoutBraces).toUpper(), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());

    const QStringList kept = store->keepProfilesMissingFrom(elsewhere.toUtf8());
    ASSERT_EQ(kept.size(), 4);
    for (const QString& file : kept) {
        EXPECT_LE(file.toUtf8().size() + LocalFileSystem::maxTemporarySuffixBytes, 255) << file.toStdString();
        EXPECT_TRUE(file.isValidUtf16());
        EXPECT_TRUE(QFile::exists(supportPath(file)));
    }
    const QString cjkStem = kept.at(0).section(" (user profile)", 0, 0);
    EXPECT_TRUE(cjk.startsWith(cjkStem));
    // Whole characters up to the room left beside " (user profile) 9999.json" and the suffix.
    EXPECT_EQ(cjkStem.size(), (255 - LocalFileSystem::maxTemporarySuffixBytes - 25) / 3);
    EXPECT_EQ(kept.at(1), cjkStem + " (user profile) 2.json");
    // The accent stays with its letter.
    EXPECT_TRUE(kept.at(2).section(" (user profile)", 0, 0).endsWith(QChar(0x0301)));

    // A second attempt finds each file as it left it; a profile changed since is kept anew.
    store->renameUserProfile(store->userProfiles().get().back().id, QString(300, u'y'));
    const QStringList again = store->keepProfilesMissingFrom(elsewhere.toUtf8());
    EXPECT_EQ(again.mid(0, 3), kept.mid(0, 3));
    EXPECT_NE(again.at(3), kept.at(3));
    EXPECT_EQ(QDir(supportDir.path()).entryList({"* profile)*.json"}, QDir::Files).size(), 5);
}

// A handler that lets the store go while a save's notices arrive: nothing more is
// delivered, and nothing reads the store afterwards.
TEST_F(SyncOperationsTest, ASaveNoticeWhoseHandlerReleasesTheStoreEndsTheNotices)
{
    auto owned = std::make_unique<ProfileStore>(disk);
    queue->runUntilIdle();
    int delivered = 0;
    owned->onError = [&](const QString&, const QString&) {
        ++delivered;
        owned.reset();
    };
    bool outcomeSeen = false;
    disk->failNext("write profiles.json.velmor-*", "No space left on device", 5);
    owned->createUserProfile("Lost");
    owned->applySyncPayload(LoadResult{owned->pacsProfiles().get(), owned->userProfiles().get(), std::nullopt,
                                       std::nullopt, false},
                            std::nullopt, [&](bool, const QByteArray&) { outcomeSeen = true; });
    queue->runUntilIdle();
    EXPECT_EQ(owned, nullptr);
    EXPECT_EQ(delivered, 1);
    EXPECT_FALSE(outcomeSeen);
}

} // namespace
