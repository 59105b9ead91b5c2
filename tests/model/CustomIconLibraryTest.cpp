#include "model/CustomIconLibrary.h"
#include "platform/Bundle.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <thread>
#include <vector>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

QByteArray square(const char* colour)
{
    return QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16"><rect width="16" height="16" fill=")")
        + colour + R"("/></svg>)";
}

QColor colourOf(const std::optional<QImage>& image)
{
    return image ? image->pixelColor(image->width() / 2, image->height() / 2) : QColor();
}

QStringList fileNames(const QList<CustomIcon>& icons)
{
    QStringList names;
    for (const CustomIcon& icon : icons)
        names << icon.fileName();
    return names;
}

class CustomIconLibraryTest : public test::PlatformFixture {
protected:
    CustomIconLibraryTest() { Bundle::setMainRoot(bundleDir.path()); }
    ~CustomIconLibraryTest() override { Bundle::setMainRoot({}); }

    static QString iconPath(const QString& name) { return QDir(customIconsDirectory()).filePath(name); }
    static void writeIcon(const QString& name, const QByteArray& bytes) { test::writeFile(iconPath(name), bytes); }
    void ship(const QString& relative, const QByteArray& bytes)
    {
        QDir(bundleDir.path()).mkpath(QFileInfo(relative).path());
        test::writeFile(bundleDir.filePath(relative), bytes);
    }

    QTemporaryDir bundleDir;
    CustomIconLibrary library;
};

} // namespace

TEST_F(CustomIconLibraryTest, IconsFolderLivesInTheDataFolderAndIsRecreatedOnEveryCall)
{
    EXPECT_EQ(customIconsDirectory(), supportPath("Icons"));
    EXPECT_TRUE(QDir(supportPath("Icons")).exists());
    QDir(supportPath("Icons")).removeRecursively();
    customIconsDirectory();
    EXPECT_TRUE(QDir(supportPath("Icons")).exists());
}

TEST_F(CustomIconLibraryTest, InstallCopiesOnlyMissingIconsAndOnlyOncePerProcess)
{
    ship("CustomIcons/ct.svg", square("red"));
    ship("CustomIcons/mr.svg", square("blue"));
    ship("top.svg", square("black")); // ignored while CustomIcons has icons
    writeIcon("ct.svg", square("lime"));

    EXPECT_EQ(fileNames(library.loadCustomIcons()), (QStringList{"ct.svg", "mr.svg"}));
    EXPECT_EQ(test::readFile(iconPath("ct.svg")), square("lime"));
    EXPECT_EQ(test::readFile(iconPath("mr.svg")), square("blue"));

    // Deleted by the user: stays deleted for the rest of this process.
    QFile::remove(iconPath("mr.svg"));
    library.installBundledCustomIcons();
    EXPECT_EQ(fileNames(library.loadCustomIcons()), QStringList{"ct.svg"});

    CustomIconLibrary nextProcess;
    nextProcess.installBundledCustomIcons();
    EXPECT_EQ(test::readFile(iconPath("mr.svg")), square("blue"));
    EXPECT_EQ(test::readFile(iconPath("ct.svg")), square("lime"));
}

TEST_F(CustomIconLibraryTest, ShippedIconsFallBackToTopLevelAndAnEmptyBundleStillCountsAsInstalled)
{
    library.installBundledCustomIcons(); // nothing shipped yet
    ship("CustomIcons/readme.txt", "not an icon");
    ship("Layouts/nested.svg", square("red"));
    ship("top.svg", square("red"));
    EXPECT_EQ(bundledCustomIconURLs(), QStringList{bundleDir.filePath("top.svg")});

    library.installBundledCustomIcons();
    EXPECT_FALSE(QFile::exists(iconPath("top.svg")));
    CustomIconLibrary().installBundledCustomIcons();
    EXPECT_TRUE(QFile::exists(iconPath("top.svg")));
}

TEST_F(CustomIconLibraryTest, ListingKeepsVisibleSvgFilesOrderedByNameWithoutExtension)
{
    for (const char* name : {"Zeta.svg", "alpha.svg", "Beta.SVG", "Beta 2.svg", "notes.txt", ".hidden.svg", "svg"})
        writeIcon(name, square("red"));
    QDir(customIconsDirectory()).mkdir("folder.svg");

    const QList<CustomIcon> icons = library.loadCustomIcons();
    // By full file name "Beta 2.svg" would sort before "Beta.SVG".
    EXPECT_EQ(fileNames(icons), (QStringList{"alpha.svg", "Beta.SVG", "Beta 2.svg", "Zeta.svg"}));
    ASSERT_FALSE(icons.isEmpty());
    EXPECT_EQ(icons.first(), CustomIcon("alpha.svg", iconPath("alpha.svg")));
    EXPECT_EQ(icons.first().displayName(), "alpha");
}

TEST_F(CustomIconLibraryTest, ImageComesFromFolderThenShippedIconAndOnlyHitsAreCached)
{
    EXPECT_FALSE(library.customIconImage("x.svg"));
    EXPECT_EQ(library.imageCache().count(), 0);
    writeIcon("x.svg", square("red"));
    EXPECT_EQ(colourOf(library.customIconImage("x.svg")), QColor(Qt::red)); // the miss was not remembered
    EXPECT_EQ(library.imageCache().count(), 1);

    ship("CustomIcons/ct.svg", square("blue"));
    CustomIconLibrary fresh;
    fresh.installBundledCustomIcons();
    writeIcon("ct.svg", square("lime")); // the user's version wins over the shipped one
    EXPECT_EQ(colourOf(fresh.customIconImage("ct.svg")), QColor(Qt::green));
    fresh.imageCache().removeAll();
    QFile::remove(iconPath("ct.svg"));
    EXPECT_EQ(colourOf(fresh.customIconImage("ct.svg")), QColor(Qt::blue));
    EXPECT_FALSE(fresh.customIconImage("CT.svg")); // shipped names match exactly

    writeIcon("broken.svg", "<svg");
    EXPECT_FALSE(fresh.customIconImage("broken.svg"));
}

TEST_F(CustomIconLibraryTest, CachedImageOutlivesFileChangesUntilTheCacheIsEmptied)
{
    writeIcon("x.svg", square("red"));
    EXPECT_EQ(colourOf(library.customIconImage("x.svg")), QColor(Qt::red));
    writeIcon("x.svg", square("blue"));
    EXPECT_EQ(colourOf(library.customIconImage("x.svg")), QColor(Qt::red));
    library.imageCache().removeAll();
    EXPECT_EQ(colourOf(library.customIconImage("x.svg")), QColor(Qt::blue));
}

TEST_F(CustomIconLibraryTest, NamesThatAreNotPlainFileNamesAreNeverLookedUp)
{
    test::writeFile(supportPath("outside.svg"), square("red"));
    writeIcon(".hidden.svg", square("red"));
    for (const QString& name : {QStringLiteral("../outside.svg"), supportPath("outside.svg"),
                                QStringLiteral(".hidden.svg"), QString(), QStringLiteral("..")})
        EXPECT_FALSE(library.customIconImage(name)) << name.toStdString();
    EXPECT_EQ(library.imageCache().count(), 0);
}

TEST(CustomIconImageCache, LoadStartedBeforeEmptyingIsNotStored)
{
    CustomIconImageCache cache;
    QImage image(2, 2, QImage::Format_ARGB32);
    image.fill(Qt::red);

    const quint64 before = cache.generation();
    cache.removeAll(); // a file changed while the load was running
    cache.insert("x.svg", image, before);
    EXPECT_FALSE(cache.image("x.svg"));

    cache.insert("x.svg", image, cache.generation());
    EXPECT_EQ(cache.image("x.svg"), image);
    cache.insert("null.svg", QImage(), cache.generation());
    EXPECT_EQ(cache.count(), 1);
}

TEST_F(CustomIconLibraryTest, LookupsAndEmptyingFromSeveralThreadsAgree)
{
    writeIcon("x.svg", square("red"));
    writeIcon("y.svg", square("blue"));
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                if (t == 0 && i % 4 == 0)
                    library.imageCache().removeAll();
                const bool red = (i + t) % 2 == 0;
                if (colourOf(library.customIconImage(red ? "x.svg" : "y.svg")) != QColor(red ? Qt::red : Qt::blue))
                    ++wrong;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

TEST_F(CustomIconLibraryTest, ProcessWideFunctionsShareOneCache)
{
    writeIcon("shared.svg", square("red"));
    EXPECT_EQ(fileNames(loadCustomIcons()), QStringList{"shared.svg"});
    EXPECT_EQ(colourOf(customIconImage("shared.svg")), QColor(Qt::red));
    writeIcon("shared.svg", square("blue"));
    EXPECT_EQ(colourOf(customIconImage("shared.svg")), QColor(Qt::red));
    customIconImageCache().removeAll();
    EXPECT_EQ(colourOf(customIconImage("shared.svg")), QColor(Qt::blue));
    customIconImageCache().removeAll();
}
