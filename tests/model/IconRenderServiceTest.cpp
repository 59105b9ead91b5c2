#include "model/IconPixels.h"
#include "model/IconRenderCache.h"
#include "model/IconRenderService.h"
#include "platform/SerialQueue.h"
#include "support/PngBomb.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace velmor;
using namespace std::chrono_literals;
using Outcome = IconRenderOutcome;

namespace {

// A 24-px icon in the style of the common icon sets: one filled path.
const QByteArray materialIcon = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">)"
                                R"(<path d="M3 3h18v18H3z" fill="#000"/></svg>)";

// A chain of curves whose stroke costs the drawing program many seconds of CPU.
QByteArray curveChain()
{
    return R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 9 9"><path d="M0 0Q9 0 0 9)"
        + QByteArray("T9 9T0 0").repeated(200) + R"(" fill="none" stroke="#000" stroke-width="6"/></svg>)";
}

// Children that stand in for the drawing program: one that never answers, and broken ones
// that fail on every document.
const QByteArray hangs = "#!/bin/sh\nexec sleep 60\n";
const QByteArray aborts = "#!/bin/sh\nkill -ABRT $$\n";
const QByteArray babbles = "#!/bin/sh\ncat >/dev/null\necho nonsense\n";
const QByteArray floods = "#!/bin/sh\ncat >/dev/null\nexec cat /dev/zero\n";
const QByteArray refusesAll = "#!/bin/sh\ncat >/dev/null\nexit 3\n";

// The real program, except that it ends by `signal` on a document holding "crash".
QByteArray crashesOnSome(const QByteArray& signal = "SEGV")
{
    return "#!/bin/sh\ndoc=$(cat)\ncase \"$doc\" in *crash*) kill -" + signal
        + " $$ ;; esac\nprintf '%s' \"$doc\" | exec " + QByteArray(VELMOR_ICON_RENDER) + " \"$@\"\n";
}

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
    // to start: its backstop is generous unless a test is about the backstop.
    std::unique_ptr<IconRenderService> service(const QString& program, std::chrono::milliseconds backstop = 60s,
                                               int maxChildren = 2)
    {
        IconRenderService::Options options;
        options.program = program;
        options.cacheDirectory = cache.path();
        options.limits.backstop = backstop;
        options.maxChildren = maxChildren;
        auto made = std::make_unique<IconRenderService>(options);
        made->setFailureHandler([this](IconOrigin origin, const QString& description) {
            reports << description;
            origins << origin;
        });
        made->setLogHandler([this](const QString& line) { logs << line; });
        return made;
    }
    // Renders and waits on the real event loop for the outcome.
    IconRenderResult render(IconRenderService& renderer, const QByteArray& document, const QString& name = "x.svg")
    {
        std::optional<IconRenderResult> result;
        renderer.render({document, 128, name, IconOrigin::local, {}},
                        [&](const IconRenderResult& outcome) { result = outcome; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 120'000));
        return result.value_or(IconRenderResult{Outcome::cancelled, {}});
    }
    // Several at once; the outcomes in the order asked for.
    QList<Outcome> renderAll(IconRenderService& renderer, const QList<QByteArray>& documents)
    {
        QList<std::optional<Outcome>> outcomes(documents.size());
        for (qsizetype i = 0; i < documents.size(); ++i)
            renderer.render({documents[i], 128, "x.svg", IconOrigin::local, {}},
                            [&outcomes, i](const IconRenderResult& result) { outcomes[i] = result.outcome; });
        const auto allEnded = [&] {
            return std::all_of(outcomes.cbegin(), outcomes.cend(), [](const auto& o) { return o.has_value(); });
        };
        EXPECT_TRUE(QTest::qWaitFor(allEnded, 120'000));
        QList<Outcome> ended;
        for (const std::optional<Outcome>& outcome : outcomes)
            ended << outcome.value_or(Outcome::cancelled);
        return ended;
    }

    QTemporaryDir programs;
    QTemporaryDir cache;
    QStringList reports;
    QList<IconOrigin> origins;
    QStringList logs;
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

    // What the check refuses is told by the real program too, as the icon's.
    EXPECT_EQ(render(*renderer, "<html/>", "page.svg").outcome, Outcome::refused);
    EXPECT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports.value(0).contains("“page.svg”"));
    EXPECT_EQ(origins, QList<IconOrigin>{IconOrigin::local});

    // The next start of the same program finds both outcomes on disk: no child, no
    // second report.
    renderer.reset();
    auto restarted = service(VELMOR_ICON_RENDER);
    ASSERT_TRUE(restarted->known(materialIcon, 128));
    EXPECT_EQ(restarted->known(materialIcon, 128)->image, drawn.image);
    EXPECT_EQ(render(*restarted, "<html/>", "page.svg").outcome, Outcome::refused);
    EXPECT_FALSE(restarted->known(materialIcon, 64)); // another size is another drawing
    EXPECT_EQ(restarted->childrenStarted(), 0);
    EXPECT_EQ(reports.size(), 1);
}

// The CPU budget decides what is too costly, and that is the document's; the wall-clock
// backstop stops a child that did not get to finish, which says nothing about it.
TEST_F(IconRenderServiceTest, AChildOutOfCpuOverranAndIsKeptOneStoppedByTheBackstopIsNot)
{
    const QByteArray chain = curveChain();
    {
        IconRenderService::Options options;
        options.program = VELMOR_ICON_RENDER;
        options.cacheDirectory = cache.path();
        options.limits = {1, 60s};
        IconRenderService renderer(options);
        renderer.setFailureHandler([this](IconOrigin, const QString& description) { reports << description; });
        EXPECT_EQ(render(renderer, chain, "chain.svg").outcome, Outcome::overran);
        EXPECT_EQ(renderer.childrenStarted(), 2) << "the document, then the program's check";
    }
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("“chain.svg” took too long")) << reports[0].toStdString();
    auto restarted = service(VELMOR_ICON_RENDER);
    EXPECT_EQ(render(*restarted, chain, "chain.svg").outcome, Outcome::overran);
    EXPECT_EQ(restarted->childrenStarted(), 0);
    EXPECT_EQ(reports.size(), 1);

    // Stopped by the backstop: this run remembers it (no second child for it), the program's
    // failure is told once for all, and nothing is kept.
    auto stalled = service(fakeChild("hangs", hangs), 200ms);
    EXPECT_EQ(render(*stalled, "<svg>1</svg>", "slow.svg").outcome, Outcome::unavailable);
    EXPECT_EQ(render(*stalled, "<svg>1</svg>", "copy.svg").outcome, Outcome::unavailable);
    EXPECT_EQ(render(*stalled, "<svg>2</svg>", "other.svg").outcome, Outcome::unavailable);
    EXPECT_EQ(stalled->childrenStarted(), 2);
    EXPECT_EQ(stalled->childrenRunning(), 0);
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[1], "The icon drawing program did not finish within 0.2 s (the computer may be busy); the "
                          "icons it did not draw show their tools' symbols until Velmor starts again.");
    EXPECT_FALSE(service(VELMOR_ICON_RENDER)->known("<svg>1</svg>", 128));
}

// A crash is the document's only when the program still draws a document known to draw.
TEST_F(IconRenderServiceTest, ACrashOfOneDocumentIsKeptAsItsOwn)
{
    const QString program = fakeChild("crashes-on-some", crashesOnSome());
    auto renderer = service(program);
    EXPECT_EQ(render(*renderer, "<svg>crash</svg>", "a.svg").outcome, Outcome::crashed);
    EXPECT_EQ(renderer->childrenStarted(), 2);
    EXPECT_EQ(render(*renderer, materialIcon, "b.svg").outcome, Outcome::drawn);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains("“a.svg” made its drawing process fail"));

    renderer.reset(); // its cache writes done
    auto restarted = service(program);
    EXPECT_EQ(render(*restarted, "<svg>crash</svg>", "a.svg").outcome, Outcome::crashed);
    EXPECT_EQ(restarted->childrenStarted(), 0);
    EXPECT_EQ(reports.size(), 1);
}

// A child ended by a signal no document causes was stopped from outside: the run does
// without the icon, nothing is kept, no check is run, and the next start draws it. An
// abort, which a document can bring about (memory runs out within the child's limit), is
// the document's once the check draws.
TEST_F(IconRenderServiceTest, WhatEndedTheChildDecidesWhoIsBlamed)
{
    const QByteArray killedOne = materialIcon + "<!-- crash -->";
    for (const QByteArray signal : {"KILL", "TERM"}) {
        reports.clear();
        {
            auto renderer = service(fakeChild("killed-" + signal, crashesOnSome(signal)));
            EXPECT_EQ(render(*renderer, killedOne, "a.svg").outcome, Outcome::unavailable) << signal.data();
            EXPECT_EQ(renderer->childrenStarted(), 1) << signal.data();
            // The program is not judged broken: other icons are still drawn.
            EXPECT_EQ(render(*renderer, materialIcon, "b.svg").outcome, Outcome::drawn) << signal.data();
            ASSERT_EQ(reports.size(), 1);
            EXPECT_TRUE(reports[0].startsWith("The icon drawing program was stopped from outside Velmor"))
                << reports[0].toStdString();
        }
        auto restarted = service(VELMOR_ICON_RENDER);
        EXPECT_EQ(render(*restarted, killedOne, "a.svg").outcome, Outcome::drawn) << signal.data();
        EXPECT_EQ(restarted->childrenStarted(), 1);
        restarted.reset(); // its cache writes done before the folder goes
        QDir(cache.path()).removeRecursively();
    }

    const QString aborts = fakeChild("aborts-on-some", crashesOnSome("ABRT"));
    {
        auto renderer = service(aborts);
        EXPECT_EQ(render(*renderer, killedOne, "a.svg").outcome, Outcome::crashed);
        EXPECT_EQ(renderer->childrenStarted(), 2) << "the document, then the check";
    }
    EXPECT_EQ(service(aborts)->knownByKey(IconRenderCache::key(killedOne, 128))->outcome, Outcome::crashed);
}

// An entry anyone may have written is taken only when it is an image of its side that
// needs no more than such an image: a bomb, a file too large and an image of another side
// are drawn again and replaced. The window's thread asks memory only; the cache is read
// on the cache's queue.
TEST_F(IconRenderServiceTest, AnUntrustedEntryIsAMissAndIsReplaced)
{
    const QString key = IconRenderCache::key(materialIcon, 128);
    QImage drawn;
    {
        ScopedManualSerialQueues queues;
        auto renderer = service(VELMOR_ICON_RENDER);
        drawn = render(*renderer, materialIcon).image;
        queues.makeStepwise("com.velmor.icon-cache");
        auto restarted = service(VELMOR_ICON_RENDER);
        EXPECT_FALSE(restarted->remembered(key));
        std::optional<IconRenderResult> found;
        restarted->render({materialIcon, 128, "x.svg", IconOrigin::local, {}},
                          [&](const IconRenderResult& result) { found = result; });
        QTest::qWait(20);
        EXPECT_FALSE(found) << "read before the queue ran";
        queues.find("com.velmor.icon-cache")->runAll();
        ASSERT_TRUE(QTest::qWaitFor([&] { return found.has_value(); }, 10'000));
        EXPECT_EQ(found->image, drawn);
        EXPECT_EQ(restarted->childrenStarted(), 0);
        EXPECT_TRUE(restarted->remembered(key));
    }
    const QByteArray honest = test::readFile(cache.filePath(key));
    ASSERT_TRUE(honest.endsWith(test::pngChunk("IEND", {})));
    const QByteArray otherSide = test::pngOf(drawn.scaled(64, 64));
    const QList<std::pair<const char*, QByteArray>> entries{
        {"a bomb", test::pngBomb(128, 64)},
        {"too large", honest.chopped(12) + test::pngChunk("tEXt", "Comment" + QByteArray(1, '\0') + QByteArray(200'000, 'x'))
                          + honest.right(12)},
        {"another side", otherSide},
        {"text and a colour profile beside the pixels", test::withTextBombs(honest)},
    };
    for (const auto& [what, bytes] : entries) {
        test::writeFile(cache.filePath(key), bytes);
        {
            auto restarted = service(VELMOR_ICON_RENDER);
            EXPECT_EQ(render(*restarted, materialIcon).image, drawn) << what;
            EXPECT_EQ(restarted->childrenStarted(), 1) << what;
        }
        EXPECT_EQ(IconRenderCache(cache.path(), {}).find(key)->image, drawn) << what << ": replaced";
    }
}

// Only the user's own private folder: one others can write, or holding another user's
// entry, or another user's, is not used at all for the run.
TEST_F(IconRenderServiceTest, ACacheFolderOthersCouldWriteIsNotUsed)
{
    const QString key = IconRenderCache::key(materialIcon, 128);
    QImage planted(128, 128, QImage::Format_ARGB32_Premultiplied);
    planted.fill(Qt::red);
    const QString failure = IconRenderCache::key(materialIcon + " ", 128);
    const auto plant = [&] {
        ASSERT_TRUE(planted.save(cache.filePath(key), "PNG"));
        test::writeFile(cache.filePath(failure),
                        "refused " + IconRenderService::programIdentity(VELMOR_ICON_RENDER));
    };
    const auto notUsed = [&](const char* what) {
        const QStringList before = QDir(cache.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
        logs.clear();
        {
            auto renderer = service(VELMOR_ICON_RENDER);
            EXPECT_EQ(renderAll(*renderer, {materialIcon, materialIcon + " "}),
                      QList<Outcome>(2, Outcome::drawn))
                << what;
            EXPECT_EQ(renderer->childrenStarted(), 2) << what;
            EXPECT_EQ(render(*renderer, materialIcon + "  ").outcome, Outcome::drawn);
        }
        // Why, in Velmor's log: once for the run, however often the cache is asked.
        ASSERT_EQ(logs.size(), 1) << what;
        EXPECT_TRUE(logs[0].startsWith("The icon cache is not used in this run: ")) << logs[0].toStdString();
        EXPECT_TRUE(logs[0].contains(cache.path())) << logs[0].toStdString();
        EXPECT_EQ(QDir(cache.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before) << what;
        QImage kept;
        EXPECT_TRUE(kept.load(cache.filePath(key), "PNG"));
        EXPECT_EQ(kept.pixelColor(64, 64), QColor(Qt::red)) << what << ": nothing written";
    };
    plant();
    ASSERT_EQ(::chmod(QFile::encodeName(cache.path()).constData(), 0777), 0);
    notUsed("mode 0777");
    ASSERT_EQ(::chmod(QFile::encodeName(cache.path()).constData(), 0770), 0);
    notUsed("mode 0770");
    ASSERT_EQ(::chmod(QFile::encodeName(cache.path()).constData(), 0700), 0);
    EXPECT_EQ(QFileInfo(cache.path()).permissions() & QFile::WriteOther, 0) << "never chmodded back by Velmor";

    if (::geteuid() != 0)
        GTEST_SKIP() << "files of another user need root";
    ASSERT_EQ(::chown(QFile::encodeName(cache.filePath(failure)).constData(), 4242, 4242), 0);
    notUsed("another user's entry");
    ASSERT_EQ(::chown(QFile::encodeName(cache.filePath(failure)).constData(), 0, 0), 0);
    ASSERT_EQ(::chown(QFile::encodeName(cache.path()).constData(), 4242, 4242), 0);
    notUsed("another user's folder");
}

// A program that aborts (say its Qt platform plugin is missing), answers nonsense or floods
// its output fails the built-in document too: nothing is kept, nothing more is started in
// this run, and its failure is told once. A missing or non-executable program likewise.
TEST_F(IconRenderServiceTest, ABrokenProgramKeepsNothingAndIsToldOnceAsTheProgramsFailure)
{
    const QList<QByteArray> documents{"<svg>1</svg>", "<svg>2</svg>", materialIcon};
    const QList<Outcome> unavailable(3, Outcome::unavailable);
    int told = 0;
    for (const auto& [name, script] : {std::pair{"aborts", aborts}, {"babbles", babbles}, {"floods", floods}}) {
        auto broken = service(fakeChild(name, script), 60s, 1);
        EXPECT_EQ(renderAll(*broken, documents), unavailable) << name;
        EXPECT_EQ(broken->childrenStarted(), 2) << name << ": one document and the check";
        EXPECT_EQ(render(*broken, "<svg>4</svg>").outcome, Outcome::unavailable);
        EXPECT_EQ(broken->childrenStarted(), 2) << name;
        ASSERT_EQ(reports.size(), ++told) << name;
        EXPECT_TRUE(reports.last().startsWith("The icon drawing program “" + programs.filePath(name)
                                              + "” fails on a built-in test icon too"))
            << reports.last().toStdString();
    }

    const QString notExecutable = programs.filePath("not-executable");
    test::writeFile(notExecutable, "#!/bin/sh\n");
    for (const QString& program : {programs.filePath("missing-program"), notExecutable}) {
        auto missing = service(program);
        EXPECT_EQ(renderAll(*missing, documents), unavailable);
        ASSERT_EQ(reports.size(), ++told);
        EXPECT_EQ(reports.last(), "The icon drawing program “" + program
                                      + "” could not be started; custom icons not drawn yet show their tools' "
                                        "symbols until Velmor starts again.");
    }

    // Mended, the program draws them all: none was kept as the icons'.
    auto mended = service(VELMOR_ICON_RENDER);
    EXPECT_FALSE(mended->known("<svg>1</svg>", 128));
    EXPECT_EQ(render(*mended, materialIcon).outcome, Outcome::drawn);
}

// Failures are kept with the program that met them: another program draws them once more
// and tells only those that fail again.
TEST_F(IconRenderServiceTest, AFailureKeptUnderAnotherProgramIsDrawnAgainOnce)
{
    {
        auto old = service(fakeChild("refuses-all", refusesAll));
        EXPECT_EQ(render(*old, materialIcon, "good.svg").outcome, Outcome::refused);
        EXPECT_EQ(render(*old, "<html/>", "page.svg").outcome, Outcome::refused);
        EXPECT_EQ(reports.size(), 2);
    }
    auto newer = service(VELMOR_ICON_RENDER);
    EXPECT_FALSE(newer->known(materialIcon, 128));
    EXPECT_EQ(render(*newer, materialIcon, "good.svg").outcome, Outcome::drawn);
    EXPECT_EQ(render(*newer, "<html/>", "page.svg").outcome, Outcome::refused);
    ASSERT_EQ(reports.size(), 3);
    EXPECT_TRUE(reports[2].contains("“page.svg”"));

    newer.reset();
    auto again = service(VELMOR_ICON_RENDER);
    EXPECT_EQ(render(*again, "<html/>", "page.svg").outcome, Outcome::refused);
    EXPECT_EQ(again->childrenStarted(), 0);
    EXPECT_EQ(reports.size(), 3);
}

TEST_F(IconRenderServiceTest, TwoChildrenAtOnceTheRestWaitAndQuittingKillsThemAll)
{
    auto renderer = service(fakeChild("hangs", hangs), 300ms);
    int ended = 0;
    QList<Outcome> outcomes;
    for (const char* document : {"<svg>1</svg>", "<svg>2</svg>", "<svg>3</svg>"})
        renderer->render({document, 128, "x.svg", IconOrigin::local, {}}, [&](const IconRenderResult& result) {
            outcomes << result.outcome;
            ++ended;
        });
    // Each is looked for in the cache first, on the cache's queue.
    ASSERT_TRUE(QTest::qWaitFor([&] { return renderer->childrenRunning() == 2; }, 10'000));
    EXPECT_EQ(renderer->childrenStarted(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended == 3; }, 120'000));
    EXPECT_EQ(outcomes, QList<Outcome>(3, Outcome::unavailable));
    EXPECT_EQ(renderer->childrenStarted(), 3);

    // Quitting: the children die at once, whoever waits hears "cancelled", and nothing is
    // remembered about the documents.
    auto quitting = service(fakeChild("hangs", hangs), 60s);
    outcomes.clear();
    ended = 0;
    for (const char* document : {"<svg>5</svg>", "<svg>6</svg>", "<svg>7</svg>"})
        quitting->render({document, 128, "x.svg", IconOrigin::local, {}}, [&](const IconRenderResult& result) {
            outcomes << result.outcome;
            ++ended;
        });
    quitting->shutdown();
    EXPECT_EQ(quitting->childrenRunning(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended == 3; }, 10'000));
    EXPECT_EQ(outcomes, QList<Outcome>(3, Outcome::cancelled));
    EXPECT_FALSE(service(VELMOR_ICON_RENDER)->known("<svg>5</svg>", 128));
    EXPECT_EQ(reports.size(), 1);
}

// Qt blends a large fill on helper threads and waits for them all, and every thread's
// stack counts against the child's address space. With threads that each reserve 200 MB,
// a program that made helpers as the drawing went would fail to make one within its
// 512 MB and hang until the backstop; the drawing program makes its one helper at start.
// A sanitized build runs the program's plain copy here, the shipped program's limit set.
TEST_F(IconRenderServiceTest, TheDrawingProgramsHelperThreadsFitItsMemoryLimit)
{
    constexpr std::uint64_t shippedLimit = std::uint64_t(512) * 1024 * 1024;
    constexpr rlim_t wideStack = rlim_t(200) * 1024 * 1024;
    rlimit stack{};
    if (::getrlimit(RLIMIT_STACK, &stack) != 0 || (stack.rlim_max != RLIM_INFINITY && stack.rlim_max < wideStack))
        GTEST_SKIP() << "the stack limit cannot be raised here";
    // The limit reaches the child: it reports its own.
    const QString seen = programs.filePath("address-space");
    std::optional<IconRenderChild::Ending> ending;
    const IconRenderChild reporter(
        fakeChild("reports", "#!/bin/sh\ncat >/dev/null\nulimit -v >'" + seen.toUtf8() + "'\n"), "<svg/>", 16,
        {2, 60s, shippedLimit}, [&](IconRenderChild::Ending how, const QImage&) { ending = how; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ending.has_value(); }, 120'000));
    EXPECT_EQ(test::readFile(seen).trimmed(), QByteArray::number(shippedLimit / 1024));

    const QString program = fakeChild("wide-stacks", "#!/bin/sh\nulimit -S -s " + QByteArray::number(wideStack / 1024)
                                                         + "\nexec " + QByteArray(VELMOR_ICON_RENDER_PLAIN) + " \"$@\"\n");
    const QByteArray veil = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">)"
                            R"(<rect width="24" height="24" fill="#f00" fill-opacity="0.5"/></svg>)";
    ending.reset();
    QImage image;
    const IconRenderChild child(program, veil, 1024, {2, 60s, shippedLimit},
                                [&](IconRenderChild::Ending how, const QImage& drawn) {
                                    ending = how;
                                    image = drawn;
                                });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ending.has_value(); }, 120'000));
    EXPECT_EQ(*ending, IconRenderChild::Ending::drawn);
    EXPECT_EQ(image.size(), QSize(1024, 1024));
}

TEST(IconRenderCache, KeepsImagesAndFailuresByHashAndDropsTheOldestBeyondItsCap)
{
    QTemporaryDir folder;
    IconRenderCache cache(folder.path(), {3, 1024 * 1024}, "12-34-56");
    QImage image(128, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    const QString first = IconRenderCache::key("a", 128);
    EXPECT_EQ(first, "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb-128");
    cache.store(first, {Outcome::drawn, image});
    cache.store(IconRenderCache::key("b", 128), {Outcome::overran, {}});
    cache.store(IconRenderCache::key("c", 128), {Outcome::cancelled, {}}); // not about the document
    EXPECT_EQ(test::readFile(folder.filePath(IconRenderCache::key("b", 128))), "overran 12-34-56");
    EXPECT_EQ(cache.find(first)->image, image);
    EXPECT_FALSE(cache.find(IconRenderCache::key("c", 128)));

    // Damaged entries, and failures of another program (an entry of an older Velmor has
    // none), are no outcome.
    test::writeFile(folder.filePath(IconRenderCache::key("d", 128)), "\x89PNG\r\n\x1a\ngarbage");
    test::writeFile(folder.filePath(IconRenderCache::key("e", 128)), "drawn");
    EXPECT_FALSE(cache.find(IconRenderCache::key("d", 128)));
    EXPECT_FALSE(cache.find(IconRenderCache::key("e", 128)));
    EXPECT_FALSE(IconRenderCache(folder.path(), {}, "12-34-57").find(IconRenderCache::key("b", 128)));
    EXPECT_FALSE(IconRenderCache(folder.path(), {}).find(IconRenderCache::key("b", 128)));
    test::writeFile(folder.filePath(IconRenderCache::key("e", 128)), "overran");
    EXPECT_FALSE(cache.find(IconRenderCache::key("e", 128)));

    // A fresh cache over the folder counts what is there; the oldest go first.
    QDir(folder.path()).remove(IconRenderCache::key("d", 128));
    QDir(folder.path()).remove(IconRenderCache::key("e", 128));
    QFile written(folder.filePath(first));
    ASSERT_TRUE(written.open(QIODevice::ReadWrite));
    ASSERT_TRUE(written.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600), QFileDevice::FileModificationTime));
    written.close();
    IconRenderCache again(folder.path(), {3, 1024 * 1024}, "12-34-56");
    for (const char* document : {"f", "g"})
        again.store(IconRenderCache::key(document, 128), {Outcome::crashed, {}});
    EXPECT_FALSE(again.find(first));
    EXPECT_TRUE(again.find(IconRenderCache::key("b", 128)));
    const auto entries = [&] { return QDir(folder.path()).entryList(QDir::Files).size(); };
    EXPECT_EQ(entries(), 3);

    IconRenderCache small(folder.path(), {100, 32}, "12-34-56");
    small.store(IconRenderCache::key("h", 128), {Outcome::refused, {}});
    EXPECT_EQ(entries(), 2); // 16 bytes each: two fit in 32
}

// The folder is the user's and may hold what is not the cache's: it touches nothing but
// regular files named as its entries, in a real folder, never through a link.
TEST(IconRenderCache, TouchesOnlyItsOwnEntries)
{
    QTemporaryDir home;
    QImage icon(128, 128, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::blue);
    const QString a = IconRenderCache::key("a", 128);
    const QString b = IconRenderCache::key("b", 128);
    const QString c = IconRenderCache::key("c", 128);

    // The cache's folder a link to a folder of the user's: not used at all.
    const QDir elsewhere(home.filePath("elsewhere"));
    QDir().mkpath(elsewhere.path());
    for (int i = 0; i < 4; ++i)
        test::writeFile(elsewhere.filePath(QString("photo%1").arg(i)), QByteArray(4096, 'x'));
    ASSERT_TRUE(icon.save(elsewhere.filePath(a), "PNG"));
    ASSERT_TRUE(QFile::link(elsewhere.path(), home.filePath("linked")));
    {
        IconRenderCache linked(home.filePath("linked"), {1, 1}, "p");
        EXPECT_FALSE(linked.find(a));
        for (const QString& key : {b, c})
            linked.store(key, {Outcome::drawn, icon});
    }
    EXPECT_EQ(elsewhere.entryList(QDir::Files).size(), 5);
    EXPECT_EQ(test::readFile(elsewhere.filePath("photo0")), QByteArray(4096, 'x'));

    // Foreign files in its own folder are neither counted nor trimmed, however large.
    const QDir own(home.filePath("own"));
    IconRenderCache cache(own.path(), {2, 1024}, "p");
    const QStringList foreign{"notes.txt", a.toUpper(), a + ".png", "x-128"};
    for (const QString& name : foreign)
        test::writeFile(own.filePath(name), QByteArray(2048, 'y'));
    own.mkdir(c); // a folder in an entry's place stays
    for (const QString& key : {a, b, c})
        cache.store(key, {Outcome::refused, {}});
    EXPECT_TRUE(cache.find(a));
    EXPECT_TRUE(cache.find(b));
    EXPECT_TRUE(QFileInfo(own.filePath(c)).isDir());
    for (const QString& name : foreign)
        EXPECT_EQ(QFileInfo(own.filePath(name)).size(), 2048) << name.toStdString();

    // A link in an entry's place is not read through, and a write replaces the link.
    const QString mine = home.filePath("mine.png");
    ASSERT_TRUE(icon.save(mine, "PNG"));
    const QByteArray mineBefore = test::readFile(mine);
    QFile::remove(own.filePath(a));
    ASSERT_TRUE(QFile::link(mine, own.filePath(a)));
    EXPECT_FALSE(cache.find(a));
    QImage red(128, 128, QImage::Format_ARGB32_Premultiplied);
    red.fill(Qt::red);
    cache.store(a, {Outcome::drawn, red});
    EXPECT_EQ(test::readFile(mine), mineBefore);
    EXPECT_FALSE(QFileInfo(own.filePath(a)).isSymLink());
    EXPECT_EQ(cache.find(a)->image.pixelColor(1, 1), QColor(Qt::red));

    // An image of another size than asked for is no outcome: it is not even decoded.
    const QString large = IconRenderCache::key("large", 128);
    ASSERT_TRUE(QImage(512, 512, QImage::Format_ARGB32).save(own.filePath(large), "PNG"));
    EXPECT_FALSE(cache.find(large));
    ASSERT_TRUE(icon.copy(0, 0, 64, 64).save(own.filePath(large), "PNG"));
    EXPECT_FALSE(cache.find(large));
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
