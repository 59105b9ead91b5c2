#include "platform/Json.h"
#include "store/FileSystem.h"
#include "store/ProfileExchange.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

UserProfile sampleUser()
{
    return UserProfile{QUuid::createUuid(), "Night Shift", QUuid::createUuid(),
                       {ButtonMapping{QUuid::createUuid(), "tartarus_v2", "K01", QUuid::createUuid()}},
                       "tartarus_v2", std::nullopt};
}

QString decodeError(const QByteArray& bytes)
{
    try {
        ProfileExchange::decodeUserProfile(bytes);
    } catch (const json::DecodeError& error) {
        return error.message();
    }
    return {};
}

} // namespace

TEST(ProfileExchange, UserProfileFilesReadInEitherForm)
{
    const UserProfile profile = sampleUser();
    const UserProfileExport file{profile, "Synthesis", QList<RadiologyTool>{}};
    EXPECT_EQ(ProfileExchange::decodeUserProfile(ProfileExchange::encodeUserProfile(file)), file);

    const UserProfileExport bare = ProfileExchange::decodeUserProfile(json::encode(profile.toJson()));
    EXPECT_EQ(bare, (UserProfileExport{profile, std::nullopt, std::nullopt}));

    // The shipped fixture is an export file as the application writes it.
    const UserProfileExport fixture =
        ProfileExchange::decodeUserProfile(test::readFile(test::dataPath("user-profile-export.json")));
    EXPECT_TRUE(fixture.pacsProfileName && fixture.pacsTools);
}

TEST(ProfileExchange, ADamagedFileReportsTheFaultOfTheFormItClaims)
{
    // An export file whose profile is broken names the fault inside "profile".
    QJsonObject broken = UserProfileExport{sampleUser(), "Synthesis", {}}.toJson();
    QJsonObject profile = broken.value("profile").toObject();
    profile.remove("mappings");
    broken.insert("profile", profile);
    EXPECT_TRUE(decodeError(json::encode(broken)).startsWith("profile.mappings"));

    // Anything else reports the bare profile's fault.
    EXPECT_TRUE(decodeError(R"({"name": "x"})").startsWith("id"));
    EXPECT_FALSE(decodeError("[1, 2").isEmpty());
    EXPECT_FALSE(decodeError("").isEmpty());
    EXPECT_THROW(ProfileExchange::decodePacsProfile(R"({"id": "x", "name": "y", "tools": []})"), json::DecodeError);
}

TEST(ProfileExchange, ReadingIsBoundedAndFailuresNameTheFile)
{
    QTemporaryDir dir;
    const QString big = dir.filePath("big.json");
    test::writeFile(big, QByteArray(ProfileExchange::maxFileSize + 1, ' '));
    const QString limit = dir.filePath("limit.json");
    test::writeFile(limit, QByteArray(ProfileExchange::maxFileSize, ' '));

    EXPECT_EQ(ProfileExchange::readFile(limit).size(), ProfileExchange::maxFileSize);
    for (const QString& path : {big, dir.filePath("missing.json"), dir.path()}) {
        try {
            ProfileExchange::readFile(path);
            ADD_FAILURE() << "read " << path.toStdString();
        } catch (const FileError& error) {
            EXPECT_TRUE(error.description().contains(QFileInfo(path).fileName())) << error.description().toStdString();
        }
    }
    // A device that never ends is cut at the limit, not read to exhaustion.
    if (QFile::exists("/dev/zero")) {
        EXPECT_THROW(ProfileExchange::readFile("/dev/zero"), FileError);
    }
}

TEST(ProfileExchange, AFailedWriteLeavesTheEarlierFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("profile.json");
    ProfileExchange::writeFile(path, "first");
    EXPECT_EQ(test::readFile(path), "first");

    EXPECT_THROW(ProfileExchange::writeFile(dir.filePath("no/such/folder/profile.json"), "x"), FileError);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    if (!QFileInfo(dir.path()).isWritable()) { // root ignores permissions
        EXPECT_THROW(ProfileExchange::writeFile(path, "second"), FileError);
        EXPECT_EQ(test::readFile(path), "first");
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
