#include "model/CustomIconLibrary.h"
#include "model/FileNames.h"
#include "model/SvgIconImage.h"
#include "platform/Bundle.h"
#include "support/InProcessIconRenderer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <thread>
#include <vector>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

const QByteArray filled = R"(<rect x="-1e5" y="-1e5" width="2e5" height="2e5" fill="red"/>)";

QByteArray svg(const QByteArray& size, const QByteArray& body = filled)
{
    return R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" )" + size + ">" + body
        + "</svg>";
}

QByteArray square(const char* colour)
{
    return svg(R"(width="8" height="8")", R"(<rect width="8" height="8" fill=")" + QByteArray(colour) + R"("/>)");
}

QColor colourOf(const std::optional<QImage>& image) { return image ? image->pixelColor(4, 4) : QColor(); }

class CustomIconLibraryTest : public test::PlatformFixture {
protected:
    CustomIconLibraryTest() { Bundle::setMainRoot(bundleDir.path()); }
    ~CustomIconLibraryTest() override { Bundle::setMainRoot({}); }

    static QString icon(const QString& name) { return QDir(customIconsDirectory()).filePath(name); }
    void ship(const QString& relative, const QByteArray& bytes)
    {
        QDir(bundleDir.path()).mkpath(QFileInfo(relative).path());
        test::writeFile(bundleDir.filePath(relative), bytes);
    }
    QStringList listed()
    {
        QStringList names;
        for (const CustomIcon& entry : library.loadCustomIcons())
            names << entry.fileName();
        return names;
    }

    // The image once the renderer has answered (its answer comes on the main queue).
    std::optional<QImage> drawn(const QString& fileName, CustomIconLibrary* from = nullptr)
    {
        CustomIconLibrary& lookup = from ? *from : library;
        if (std::optional<QImage> image = lookup.customIconImage(fileName))
            return image;
        queue->runUntilIdle();
        return lookup.customIconImage(fileName);
    }

    QTemporaryDir bundleDir;
    test::InProcessIconRenderer renderer;
    CustomIconLibrary library; // a fresh library stands for a fresh process
};

} // namespace

TEST_F(CustomIconLibraryTest, InstallCopiesOnlyMissingIconsAndOnlyOncePerProcess)
{
    EXPECT_EQ(customIconsDirectory(), supportPath("Icons"));
    ship("CustomIcons/ct.svg", square("red"));
    ship("CustomIcons/mr.svg", square("blue"));
    ship("top.svg", square("black")); // ignored while CustomIcons has icons
    test::writeFile(icon("ct.svg"), square("lime"));

    EXPECT_EQ(listed(), (QStringList{"ct.svg", "mr.svg"}));

    QFile::remove(icon("mr.svg")); // deleted by the user: stays deleted in this process
    EXPECT_EQ(listed(), QStringList{"ct.svg"});
    CustomIconLibrary().installBundledCustomIcons();
    EXPECT_EQ(test::readFile(icon("mr.svg")), square("blue"));
    EXPECT_EQ(test::readFile(icon("ct.svg")), square("lime"));
}

TEST_F(CustomIconLibraryTest, ShippedIconsFallBackToTopLevelAnEmptyBundleCountsAsInstalledAndListingIsByName)
{
    library.installBundledCustomIcons();
    ship("CustomIcons/readme.txt", "not an icon");
    ship("Layouts/nested.svg", square("red"));
    ship("top.svg", square("red"));
    EXPECT_EQ(bundledCustomIconURLs(), QStringList{bundleDir.filePath("top.svg")});
    EXPECT_EQ(listed(), QStringList{});
    CustomIconLibrary().installBundledCustomIcons();
    EXPECT_TRUE(QFile::exists(icon("top.svg")));

    // The listing keeps visible SVG files, ordered by name without the extension.
    for (const char* name : {"Zeta.svg", "alpha.svg", "Beta.SVG", "Beta 2.svg", "notes.txt", ".hidden.svg", "svg"})
        test::writeFile(icon(name), square("red"));
    // A name that would read other than it is written is no icon's, as for the sync.
    test::writeFile(icon(QString("scan") + QChar(0x202E) + "gvs.exe.svg"), square("red"));
    QDir(customIconsDirectory()).mkdir("folder.svg");
    // By full file name "Beta 2.svg" would come before "Beta.SVG".
    EXPECT_EQ(listed(), (QStringList{"alpha.svg", "Beta.SVG", "Beta 2.svg", "top.svg", "Zeta.svg"}));
    EXPECT_EQ(library.loadCustomIcons().first(), CustomIcon("alpha.svg", icon("alpha.svg")));
}

TEST_F(CustomIconLibraryTest, ImageComesFromFolderThenShippedIconAndOnlyHitsAreCachedUntilEmptied)
{
    ship("CustomIcons/ct.svg", square("blue"));
    EXPECT_FALSE(drawn("x.svg"));
    EXPECT_EQ(library.imageCache().count(), 0);
    test::writeFile(icon("x.svg"), square("red"));
    // Drawn by the renderer: none until it answers, and the views hear of its arrival.
    const quint64 arrivals = library.arrivals().get();
    EXPECT_FALSE(library.customIconImage("x.svg"));
    EXPECT_FALSE(library.customIconImage("x.svg")); // asked for once
    queue->runUntilIdle();
    EXPECT_EQ(renderer.drawings, 1);
    EXPECT_EQ(library.arrivals().get(), arrivals + 1);
    EXPECT_EQ(colourOf(library.customIconImage("x.svg")), QColor(Qt::red));

    test::writeFile(icon("ct.svg"), square("lime")); // the user's version wins
    EXPECT_EQ(colourOf(drawn("ct.svg")), QColor(Qt::green));
    QFile::remove(icon("ct.svg"));
    library.imageCache().removeAll();
    EXPECT_EQ(colourOf(drawn("ct.svg")), QColor(Qt::blue));
    EXPECT_FALSE(drawn("CT.svg"));
    // A file of the user's that draws nothing leaves the shipped icon to stand in.
    test::writeFile(icon("ct.svg"), "<html/>");
    library.imageCache().removeAll();
    EXPECT_EQ(colourOf(drawn("ct.svg")), QColor(Qt::blue));
    QFile::remove(icon("ct.svg"));

    test::writeFile(supportPath("outside.svg"), square("red"));
    EXPECT_FALSE(drawn("../outside.svg")); // only plain names, see FileNames below

    // The process-wide cache outlives file changes until it is emptied.
    EXPECT_EQ(colourOf(drawn("x.svg", &CustomIconLibrary::shared())), QColor(Qt::red));
    test::writeFile(icon("x.svg"), square("blue"));
    EXPECT_EQ(colourOf(customIconImage("x.svg")), QColor(Qt::red));
    customIconImageCache().removeAll();
    EXPECT_EQ(colourOf(drawn("x.svg", &CustomIconLibrary::shared())), QColor(Qt::blue));
    customIconImageCache().removeAll();

    // A load that started before the cache was emptied may hold the old picture.
    CustomIconImageCache cache(2 * 64 * 64 * 4); // room for two 64×64 pictures
    const quint64 before = cache.generation();
    cache.removeAll();
    cache.insert("x.svg", QImage(2, 2, QImage::Format_ARGB32), before);
    EXPECT_EQ(cache.count(), 0);
    // Beyond its byte budget the cache lets the least recently used go.
    for (const char* name : {"a.svg", "b.svg", "c.svg"})
        cache.insert(name, QImage(64, 64, QImage::Format_ARGB32), cache.generation());
    EXPECT_EQ(cache.count(), 2);
    EXPECT_FALSE(cache.image("a.svg"));
}

// The caller's thread (the window's) never reads a document: one whose outcome is unknown
// is read and hashed on the lookup queue, and once the outcome is known the file is not
// read again until what identifies its content on disk changes.
// A tool names its icon with ".svg" in one letter case; the folder may hold another: the
// tool's own spelling first, else ".svg", else ".SVG".
TEST_F(CustomIconLibraryTest, EitherSpellingOfTheExtensionFindsTheIcon)
{
    test::writeFile(icon("Mark.SVG"), square("red"));
    EXPECT_EQ(colourOf(drawn("Mark.svg")), QColor(Qt::red));
    EXPECT_EQ(colourOf(drawn("Mark.Svg")), QColor(Qt::red));
    test::writeFile(icon("Mark.svg"), square("blue"));
    library.iconFilesChanged();
    EXPECT_EQ(colourOf(drawn("Mark.Svg")), QColor(Qt::blue)) << "lower case before upper";
    EXPECT_EQ(colourOf(drawn("Mark.SVG")), QColor(Qt::red)) << "its own spelling first";
    EXPECT_FALSE(drawn("Other.svg"));
}

TEST_F(CustomIconLibraryTest, FilesAreReadAwayFromTheCallerAndOnlyUntilTheirOutcomeIsKnown)
{
    serialQueues.makeStepwise("com.velmor.icon-lookup");
    CustomIconLibrary fresh;
    ManualSerialQueue* readers = serialQueues.find("com.velmor.icon-lookup");
    ASSERT_TRUE(readers);
    test::writeFile(icon("bad.svg"), "<html>1</html>");
    test::writeFile(icon("good.svg"), square("red"));
    EXPECT_FALSE(fresh.customIconImage("bad.svg"));
    EXPECT_FALSE(fresh.customIconImage("good.svg"));
    EXPECT_FALSE(fresh.customIconImage("good.svg"));
    EXPECT_EQ(fresh.documentsRead(), 0u);
    EXPECT_EQ(fresh.lookupsUnderWay(), 2);
    readers->runAll();
    EXPECT_EQ(fresh.documentsRead(), 2u);
    queue->runUntilIdle();
    EXPECT_EQ(fresh.lookupsUnderWay(), 0);
    EXPECT_EQ(renderer.drawings, 2);

    // Known: asked for again, with the image cache emptied in between, nothing is read.
    for (int round = 0; round < 3; ++round) {
        fresh.imageCache().removeAll();
        EXPECT_FALSE(fresh.customIconImage("bad.svg"));
        EXPECT_EQ(colourOf(fresh.customIconImage("good.svg")), QColor(Qt::red));
    }
    EXPECT_EQ(readers->pendingCount(), 0u);
    EXPECT_EQ(fresh.documentsRead(), 2u);

    // A file that changes is read again, once; so is one whose image the renderer lost.
    test::writeFile(icon("bad.svg"), square("blue"));
    renderer.outcomes->remove(iconRenderKey(square("red"), SvgIconLimits::imageSide));
    fresh.imageCache().removeAll();
    for (int round = 0; round < 2; ++round) {
        EXPECT_FALSE(fresh.customIconImage("bad.svg"));
        EXPECT_FALSE(fresh.customIconImage("good.svg"));
    }
    readers->runAll();
    queue->runUntilIdle();
    EXPECT_EQ(fresh.documentsRead(), 4u);
    EXPECT_EQ(colourOf(fresh.customIconImage("bad.svg")), QColor(Qt::blue));
    EXPECT_EQ(colourOf(fresh.customIconImage("good.svg")), QColor(Qt::red));
}

// A lookup whose work is dropped unfinished (a renderer that never answers, a queue that
// went away) is not left under way: the file is looked up again when next asked for.
TEST_F(CustomIconLibraryTest, ALookupDroppedUnfinishedIsNotLeftUnderWay)
{
    struct Dropping final : IconRenderer {
        std::optional<IconRenderResult> knownByKey(const QString&) override { return std::nullopt; }
        void render(IconRenderRequest, Done) override { ++dropped; }
        int dropped = 0;
    } dropping;
    CustomIconLibrary fresh(&dropping);
    test::writeFile(icon("x.svg"), square("red"));
    EXPECT_FALSE(fresh.customIconImage("x.svg"));
    queue->runUntilIdle();
    EXPECT_EQ(dropping.dropped, 1);
    EXPECT_EQ(fresh.lookupsUnderWay(), 0);
    EXPECT_FALSE(fresh.customIconImage("x.svg"));
    queue->runUntilIdle();
    EXPECT_EQ(dropping.dropped, 2);
    EXPECT_EQ(fresh.documentsRead(), 2u);
}

TEST_F(CustomIconLibraryTest, LookupsAndEmptyingFromSeveralThreadsAgree)
{
    test::writeFile(icon("x.svg"), square("red"));
    ASSERT_TRUE(drawn("x.svg")); // off the main thread only images already drawn are found
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                if (t == 0 && i % 4 == 0)
                    library.imageCache().removeAll();
                wrong += colourOf(library.customIconImage("x.svg")) != QColor(Qt::red);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

TEST(FileNames, OnlyNamesOfOneVisibleEntryOfAFolderArePlain)
{
    for (const char* name : {"ct.svg", "Beta 2.SVG", "x..svg", "Röntgen-Ω.svg"})
        EXPECT_TRUE(isPlainFileName(QString::fromUtf8(name))) << name;
    const QString rejected[] = {
        QString(), ".", "..", ".hidden.svg", "../x.svg", "a/b.svg", "a\\b.svg", QString("a") + QChar(u'\0'),
        "line\nbreak.svg", "del\x7f.svg", QStringLiteral("c1\u0085.svg"), QString("half") + QChar(0xD800),
    };
    for (const QString& name : rejected)
        EXPECT_FALSE(isPlainFileName(name)) << name.toStdString();
}

TEST(SvgIconImage, RendersAtFixedLongestSideAndRefusesBrokenHostileOversizedOrIrregularInput)
{
    const auto wide = renderSvgIcon(svg(R"(width="200" height="100")"));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->size(), QSize(128, 64));
    EXPECT_EQ(wide->pixelColor(64, 32), QColor(Qt::red));
    EXPECT_EQ(renderSvgIcon(svg(R"(viewBox="0 0 10 40")"))->size(), QSize(32, 128));
    EXPECT_EQ(renderSvgIcon(svg(R"(width="1e9" height="1e9")"))->size(), QSize(128, 128));
    EXPECT_EQ(renderSvgIcon(svg(R"(width="100000" height="1")"))->size(), QSize(128, 1));

    // Broken, hostile, oversized or irregular input gives no image.
    const QByteArray sized = R"(width="4" height="4")";
    QByteArray entities = "<!ENTITY a0 \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">";
    for (int i = 1; i < 9; ++i)
        entities += QString("<!ENTITY a%1 \"%2\">").arg(i).arg(QString("&a%1;").arg(i - 1).repeated(10)).toUtf8();
    const QByteArray laughs = "<!DOCTYPE svg [" + entities + "]>" + svg(sized, "<text>&a8;</text>");
    const auto nested = [&](int depth) {
        return svg(sized, QByteArray("<g>").repeated(depth - 1) + QByteArray("</g>").repeated(depth - 1));
    };
    const auto elements = [&](int count) { return svg(sized, QByteArray("<rect/>").repeated(count - 1)); };

    QTemporaryDir dir;
    QImage png(4, 4, QImage::Format_ARGB32);
    png.fill(Qt::red);
    png.save(dir.filePath("secret.png"));

    for (const QByteArray& document :
         {QByteArray(), QByteArray("\x89PNG\r\n\x1a\n\0\0garbage", 16), QByteArray("<html/>"),
          svg(sized).chopped(7), laughs,
          nested(SvgIconLimits::maxDepth + 1), elements(SvgIconLimits::maxElements + 1),
          // The renderer would open a local file, which might be a pipe that never ends.
          svg(sized, R"(<image width="9" height="9" xlink:href=")" + dir.filePath("secret.png").toUtf8() + R"("/>)")})
        EXPECT_FALSE(renderSvgIcon(document)) << document.left(80).toStdString();

    EXPECT_TRUE(renderSvgIcon(nested(SvgIconLimits::maxDepth)));
    EXPECT_TRUE(renderSvgIcon(elements(SvgIconLimits::maxElements)));

    // Files: only regular ones within the size limit.
    test::writeFile(dir.filePath("limit.svg"), svg(sized).leftJustified(SvgIconLimits::maxFileBytes, ' '));
    test::writeFile(dir.filePath("over.svg"), svg(sized).leftJustified(SvgIconLimits::maxFileBytes + 1, ' '));
    EXPECT_TRUE(loadSvgIconFile(dir.filePath("limit.svg")));
    EXPECT_FALSE(loadSvgIconFile(dir.filePath("over.svg")));

    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.svg")).constData(), 0600), 0);
    EXPECT_FALSE(loadSvgIconFile(dir.filePath("pipe.svg"))); // would block forever if opened
    QDir(dir.path()).mkdir("folder.svg");
    EXPECT_FALSE(loadSvgIconFile(dir.filePath("folder.svg")));
}

// The count of lookups under way follows every start, outcome and drop, a file that
// changed while it was looked up included.
TEST(CustomIconOutcomes, TheCountUnderWayFollowsStartsOutcomesAndDrops)
{
    using velmor::CustomIconOutcomes;
    velmor::files::FileStamp first;
    first.kind = velmor::files::FileKind::regular;
    first.size = 10;
    velmor::files::FileStamp changed = first;
    changed.size = 11;
    CustomIconOutcomes outcomes;
    const std::optional<quint64> a = outcomes.start("a.svg", first);
    const std::optional<quint64> b = outcomes.start("b.svg", first);
    ASSERT_TRUE(a && b);
    EXPECT_FALSE(outcomes.start("a.svg", first)) << "already under way";
    EXPECT_EQ(outcomes.underway(), 2);
    const std::optional<quint64> again = outcomes.start("a.svg", changed);
    ASSERT_TRUE(again);
    EXPECT_EQ(outcomes.underway(), 2) << "the changed file's lookup replaces the first";
    outcomes.settle("a.svg", *a, QString("key")); // the first lookup's outcome: dropped
    EXPECT_EQ(outcomes.underway(), 2);
    outcomes.settle("a.svg", *again, QString("key"));
    outcomes.abandon("b.svg", *b);
    EXPECT_EQ(outcomes.underway(), 0);
    outcomes.settle("a.svg", *again, std::nullopt);
    outcomes.abandon("b.svg", *b);
    EXPECT_EQ(outcomes.underway(), 0) << "nothing counted twice";
    ASSERT_TRUE(outcomes.start("a.svg", first));
    EXPECT_EQ(outcomes.underway(), 1) << "a known outcome looked up again";
}
