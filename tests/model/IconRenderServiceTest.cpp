#include "model/IconPixels.h"
#include "model/IconRenderCache.h"
#include "model/IconRenderService.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace velmor;
using namespace std::chrono_literals;
using Outcome = IconRenderOutcome;

namespace {

// A 24-px icon in the style of the common icon sets: one filled path.
const QByteArray materialIcon = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">)"
                                R"(<path d="M3 3h18v18H3z" fill="#000"/></svg>)";

// Children that stand in for the drawing program: one that never answers, one that
// crashes, one that answers nonsense.
const QByteArray hangs = "#!/bin/sh\nexec sleep 60\n";
const QByteArray crashes = "#!/bin/sh\nkill -SEGV $$\n";
const QByteArray babbles = "#!/bin/sh\ncat >/dev/null\necho nonsense\n";

class IconRenderServiceTest : public ::testing::Test {
protected:
    QString fakeChild(const QString& name, const QByteArray& script)
    {
        const QString path = programs.filePath(name);
        test::writeFile(path, script);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    // A real drawing program under the sanitizers on a busy machine may take seconds
    // to start: its deadline is generous unless a test is about the deadline.
    std::unique_ptr<IconRenderService> service(const QString& program, std::chrono::milliseconds deadline = 60s)
    {
        IconRenderService::Options options;
        options.program = program;
        options.cacheDirectory = cache.path();
        options.deadline = deadline;
        auto made = std::make_unique<IconRenderService>(options);
        made->setFailureHandler([this](const QString& description) { reports << description; });
        return made;
    }
    // Renders and waits on the real event loop for the outcome.
    IconRenderResult render(IconRenderService& renderer, const QByteArray& document, const QString& name = "x.svg")
    {
        std::optional<IconRenderResult> result;
        renderer.render(document, 128, name, [&](const IconRenderResult& outcome) { result = outcome; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 120'000));
        return result.value_or(IconRenderResult{Outcome::cancelled, {}});
    }

    QTemporaryDir programs;
    QTemporaryDir cache;
    QStringList reports;
};

TEST_F(IconRenderServiceTest, AnOrdinaryIconIsDrawnOnceAndARestartTakesItFromTheCacheWithoutAChild)
{
    auto renderer = service(VELMOR_ICON_RENDER);
    const IconRenderResult drawn = render(*renderer, materialIcon);
    ASSERT_EQ(drawn.outcome, Outcome::drawn);
    EXPECT_EQ(drawn.image.size(), QSize(128, 128));
    EXPECT_EQ(drawn.image.pixelColor(64, 64), QColor(Qt::black));
    EXPECT_EQ(drawn.image.pixelColor(4, 4).alpha(), 0); // outside the path
    EXPECT_EQ(render(*renderer, materialIcon, "y.svg").image, drawn.image);
    EXPECT_EQ(renderer->childrenStarted(), 1);

    // What the check refuses is told by the real program too.
    EXPECT_EQ(render(*renderer, "<html/>", "page.svg").outcome, Outcome::refused);
    EXPECT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports.value(0).contains("“page.svg”"));

    // The next start finds both outcomes on disk: no child, no second report.
    renderer.reset();
    auto restarted = service(programs.filePath("missing-program"));
    ASSERT_TRUE(restarted->known(materialIcon, 128));
    EXPECT_EQ(restarted->known(materialIcon, 128)->image, drawn.image);
    EXPECT_EQ(render(*restarted, "<html/>", "page.svg").outcome, Outcome::refused);
    EXPECT_FALSE(restarted->known(materialIcon, 64)); // another size is another drawing
    EXPECT_EQ(restarted->childrenStarted(), 0);
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(IconRenderServiceTest, AChildPastTheDeadlineIsKilledAndEachDocumentIsToldOnce)
{
    auto renderer = service(fakeChild("hangs", hangs), 200ms);
    EXPECT_EQ(render(*renderer, "<svg/>", "slow.svg").outcome, Outcome::overran);
    EXPECT_EQ(renderer->childrenRunning(), 0);
    // The same document under another name, and a second request: neither drawn nor told again.
    EXPECT_EQ(render(*renderer, "<svg/>", "copy.svg").outcome, Outcome::overran);
    EXPECT_EQ(renderer->childrenStarted(), 1);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("“slow.svg”")) << reports[0].toStdString();

    renderer.reset();
    auto restarted = service(fakeChild("hangs", hangs), 200ms);
    EXPECT_EQ(render(*restarted, "<svg/>", "slow.svg").outcome, Outcome::overran);
    EXPECT_EQ(restarted->childrenStarted(), 0);
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(IconRenderServiceTest, ACrashOrNonsenseFromTheChildIsAnOutcome)
{
    auto crashing = service(fakeChild("crashes", crashes));
    EXPECT_EQ(render(*crashing, "<svg>1</svg>", "a.svg").outcome, Outcome::crashed);
    auto babbling = service(fakeChild("babbles", babbles));
    EXPECT_EQ(render(*babbling, "<svg>2</svg>", "b.svg").outcome, Outcome::crashed);
    EXPECT_EQ(reports.size(), 2);

    // A program that cannot start says nothing about the document: nothing is kept on disk,
    // and it is told once however many icons wait for it.
    auto missing = service(programs.filePath("missing-program"));
    EXPECT_EQ(render(*missing, "<svg>3</svg>").outcome, Outcome::unavailable);
    EXPECT_EQ(render(*missing, "<svg>4</svg>").outcome, Outcome::unavailable);
    EXPECT_EQ(reports.size(), 3);
    EXPECT_FALSE(service(VELMOR_ICON_RENDER)->known("<svg>3</svg>", 128));
}

TEST_F(IconRenderServiceTest, TwoChildrenAtOnceTheRestWaitAndQuittingKillsThemAll)
{
    auto renderer = service(fakeChild("hangs", hangs), 300ms);
    int ended = 0;
    QList<Outcome> outcomes;
    for (const char* document : {"<svg>1</svg>", "<svg>2</svg>", "<svg>3</svg>"})
        renderer->render(document, 128, "x.svg", [&](const IconRenderResult& result) {
            outcomes << result.outcome;
            ++ended;
        });
    EXPECT_EQ(renderer->childrenRunning(), 2);
    EXPECT_EQ(renderer->childrenStarted(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended == 3; }, 120'000));
    EXPECT_EQ(outcomes, QList<Outcome>(3, Outcome::overran));
    EXPECT_EQ(renderer->childrenStarted(), 3);

    // Quitting: the children die at once, whoever waits hears "cancelled", and nothing is
    // remembered about the documents.
    auto quitting = service(fakeChild("hangs", hangs), 60s);
    outcomes.clear();
    ended = 0;
    for (const char* document : {"<svg>5</svg>", "<svg>6</svg>", "<svg>7</svg>"})
        quitting->render(document, 128, "x.svg", [&](const IconRenderResult& result) {
            outcomes << result.outcome;
            ++ended;
        });
    quitting->shutdown();
    EXPECT_EQ(quitting->childrenRunning(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended == 3; }, 10'000));
    EXPECT_EQ(outcomes, QList<Outcome>(3, Outcome::cancelled));
    EXPECT_FALSE(service(VELMOR_ICON_RENDER)->known("<svg>5</svg>", 128));
    EXPECT_EQ(reports.size(), 3);
}

TEST(IconRenderCache, KeepsImagesAndFailuresByHashAndDropsTheOldestBeyondItsCap)
{
    QTemporaryDir folder;
    IconRenderCache cache(folder.path(), {3, 1024 * 1024});
    QImage image(2, 1, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    const QString first = IconRenderCache::key("a", 128);
    EXPECT_EQ(first, "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb-128");
    cache.store(first, {Outcome::drawn, image});
    cache.store(IconRenderCache::key("b", 128), {Outcome::overran, {}});
    cache.store(IconRenderCache::key("c", 128), {Outcome::cancelled, {}}); // not about the document
    EXPECT_EQ(test::readFile(folder.filePath(IconRenderCache::key("b", 128))), "overran");
    EXPECT_EQ(cache.find(first)->image, image);
    EXPECT_FALSE(cache.find(IconRenderCache::key("c", 128)));

    // Damaged entries are no outcome.
    test::writeFile(folder.filePath(IconRenderCache::key("d", 128)), "\x89PNG\r\n\x1a\ngarbage");
    test::writeFile(folder.filePath(IconRenderCache::key("e", 128)), "drawn");
    EXPECT_FALSE(cache.find(IconRenderCache::key("d", 128)));
    EXPECT_FALSE(cache.find(IconRenderCache::key("e", 128)));

    // A fresh cache over the folder counts what is there; the oldest go first.
    QDir(folder.path()).remove(IconRenderCache::key("d", 128));
    QDir(folder.path()).remove(IconRenderCache::key("e", 128));
    QFile written(folder.filePath(first));
    ASSERT_TRUE(written.open(QIODevice::ReadWrite));
    ASSERT_TRUE(written.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600), QFileDevice::FileModificationTime));
    written.close();
    IconRenderCache again(folder.path(), {3, 1024 * 1024});
    for (const char* document : {"f", "g"})
        again.store(IconRenderCache::key(document, 128), {Outcome::crashed, {}});
    EXPECT_FALSE(again.find(first));
    EXPECT_TRUE(again.find(IconRenderCache::key("b", 128)));
    const auto entries = [&] { return QDir(folder.path()).entryList(QDir::Files).size(); };
    EXPECT_EQ(entries(), 3);

    IconRenderCache small(folder.path(), {100, 16});
    small.store(IconRenderCache::key("h", 128), {Outcome::refused, {}});
    EXPECT_EQ(entries(), 2); // 7 bytes each: two fit in 16
}

TEST(IconPixels, OnlyOneWholeImageWithinTheSideIsTaken)
{
    QImage image(3, 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0, 0, 255, 255));
    const QByteArray bytes = iconpixels::encode(image);
    EXPECT_EQ(bytes.left(12), QByteArray("VIP1\x03\0\0\0\x02\0\0\0", 12));
    EXPECT_EQ(bytes.size(), iconpixels::maxBytes(3) - 12);
    EXPECT_EQ(iconpixels::decode(bytes, 3), image);
    EXPECT_FALSE(iconpixels::decode(bytes, 2));            // wider than asked for
    EXPECT_FALSE(iconpixels::decode(bytes.chopped(1), 3)); // short
    EXPECT_FALSE(iconpixels::decode(bytes + "x", 3));      // anything after it
    QByteArray empty = bytes.left(12);
    empty[4] = 0;
    EXPECT_FALSE(iconpixels::decode(empty, 3));
    EXPECT_FALSE(iconpixels::decode("VIP2" + bytes.mid(4), 3));
}

} // namespace
