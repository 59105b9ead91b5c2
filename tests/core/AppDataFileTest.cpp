#include "core/AppDataFile.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace velmor {
namespace {

class AppDataFileTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    AppDataFile::Log logger()
    {
        return [this](const QString& line) { lines.append(line); };
    }
    static QByteArray strict(const QByteArray& bytes)
    {
        if (!bytes.startsWith("ok"))
            throw std::runtime_error("bad");
        return bytes;
    }

    QTemporaryDir dir;
    QStringList lines;
};

TEST_F(AppDataFileTest, MissingFileLoadsNothingSilently)
{
    AppDataFile file(path("x.json"));
    EXPECT_EQ(file.load(strict, logger()), std::nullopt);
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_TRUE(file.save("ok 1", logger()));
    EXPECT_EQ(file.load(strict, logger()), QByteArray("ok 1"));
    EXPECT_FALSE(QFile::exists(file.damagedPath()));
}

TEST_F(AppDataFileTest, DamagedFileIsKeptAsideBeforeTheNextSave)
{
    AppDataFile file(path("x.json"));
    test::writeFile(path("x.json.damaged"), "older");
    test::writeFile(file.path(), "garbage");
    EXPECT_EQ(file.load(strict, logger()), std::nullopt);
    EXPECT_EQ(test::readFile(file.damagedPath()), "garbage");
    EXPECT_FALSE(QFile::exists(file.path()));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.first(), "x.json could not be read and was kept as x.json.damaged");

    EXPECT_TRUE(file.save("ok", logger()));
    EXPECT_EQ(test::readFile(file.path()), "ok");
    EXPECT_EQ(test::readFile(file.damagedPath()), "garbage");
}

TEST_F(AppDataFileTest, UnreadableFileIsMovedAsideWhole)
{
    // A folder where the file should be cannot be read as one.
    AppDataFile file(path("x.json"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("x.json/inner"));
    EXPECT_EQ(file.load(strict, logger()), std::nullopt);
    EXPECT_TRUE(QFileInfo(file.damagedPath() + "/inner").isDir());
    EXPECT_TRUE(file.save("ok", logger()));
}

TEST_F(AppDataFileTest, WriteFailuresAreLoggedAndLeaveNoPartialFile)
{
    AppDataFile file(path("x.json"));
    ASSERT_TRUE(file.save("ok old", logger()));
    // Once the folder is gone the write cannot even start.
    AppDataFile lost(path("gone/x.json"));
    EXPECT_FALSE(lost.save("ok", logger()));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().startsWith("Failed to save x.json: ")) << lines.first().toStdString();

    // A folder in the file's place cannot be replaced: the old content is all that remains.
    ASSERT_TRUE(QDir(dir.path()).mkpath("y.json"));
    AppDataFile blocked(path("y.json"));
    EXPECT_FALSE(blocked.save("ok", logger()));
    EXPECT_EQ(lines.size(), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"x.json"});
}

TEST_F(AppDataFileTest, NothingIsWrittenWhileTheDamagedFileCannotBeKeptAside)
{
    AppDataFile file(path("x.json"));
    test::writeFile(file.path(), "garbage");
    // A non-empty folder at the damaged path makes the rename fail.
    ASSERT_TRUE(QDir(dir.path()).mkpath("x.json.damaged/inner"));
    EXPECT_EQ(file.load(strict, logger()), std::nullopt);
    EXPECT_FALSE(file.save("ok", logger()));
    EXPECT_EQ(test::readFile(file.path()), "garbage");
    EXPECT_EQ(lines.size(), 2);

    ASSERT_TRUE(QDir(path("x.json.damaged")).removeRecursively());
    EXPECT_TRUE(file.save("ok", logger()));
    EXPECT_EQ(test::readFile(file.damagedPath()), "garbage");
    EXPECT_EQ(test::readFile(file.path()), "ok");
}

} // namespace
} // namespace velmor
