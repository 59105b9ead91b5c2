#include "model/IconEntryImage.h"
#include "model/IconRenderCache.h"
#include "support/PngBomb.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <optional>

#include <unistd.h>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

using test::pngOf;

void setAge(const QString& path, int seconds)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-seconds), QFileDevice::FileModificationTime));
}

TEST(IconEntryImage, TakesTheCachesOwnPngsAndNothingThatUnpacksBeyondThem)
{
    QImage icon(128, 64, QImage::Format_ARGB32_Premultiplied);
    icon.fill(QColor(0, 128, 255, 200));
    const QByteArray honest = pngOf(icon);
    EXPECT_EQ(iconentryimage::decode(honest, 128), icon);
    EXPECT_FALSE(iconentryimage::decode(honest, 64)); // another side
    EXPECT_TRUE(iconentryimage::decode(pngOf(icon.convertToFormat(QImage::Format_RGB32)), 128));
    EXPECT_FALSE(iconentryimage::decode(pngOf(icon.convertToFormat(QImage::Format_Indexed8)), 128));
    EXPECT_FALSE(iconentryimage::decode(honest.chopped(13), 128)); // no IEND

    // Pixel data that inflates past its rows, or stops short of them, however it is framed.
    EXPECT_FALSE(iconentryimage::decode(test::pngBomb(128, 16), 128));
    EXPECT_FALSE(iconentryimage::decode(test::pngBomb(1, 1), 1));
    const QByteArray bomb = test::pngBomb(128, 4000);
    EXPECT_GT(bomb.size(), iconentryimage::maxFileBytes(128));
    EXPECT_LT(bomb.size(), 4 * 1024 * 1024);
    EXPECT_FALSE(iconentryimage::decode(bomb, 128));

    // The largest side stored uncompressed still fits.
    QImage noise(1024, 1024, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qPremultiply(qRgba(x * 7 ^ y * 13, y * 31, x * y, 255)));
    const QByteArray stored = pngOf(noise, 100);
    EXPECT_LE(stored.size(), iconentryimage::maxFileBytes(1024));
    EXPECT_EQ(iconentryimage::decode(stored, 1024), noise);
}

// Bytes of the process's status line `field` ("VmRSS", "VmHWM").
qint64 statusBytes(const QByteArray& field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong() * 1024;
    return -1;
}

// What `work` adds to the process's peak resident memory; none where the peak cannot be reset.
std::optional<qint64> peakGrowth(const std::function<void()>& work)
{
    QFile reset("/proc/self/clear_refs");
    if (!reset.open(QIODevice::WriteOnly) || reset.write("5") != 1 || !reset.flush())
        return std::nullopt;
    const qint64 before = statusBytes("VmRSS");
    work();
    return statusBytes("VmHWM") - before;
}

// Text, colour profiles and any other chunk beside the pixels: the cache writes none, and
// one that unpacks to megabytes costs nothing, for it never reaches the image reader.
TEST(IconEntryImage, RefusesChunksTheCacheDoesNotWriteBeforeAnyUnpacks)
{
    QImage icon(128, 128, QImage::Format_ARGB32_Premultiplied);
    icon.fill(QColor(40, 200, 90, 255));
    const QByteArray honest = pngOf(icon);
    ASSERT_TRUE(iconentryimage::decode(honest, 128));
    const QByteArray bomb = test::withTextBombs(honest);
    EXPECT_LT(bomb.size(), iconentryimage::maxFileBytes(128)) << "within the size an entry may have";
    const QByteArray physical = test::pngChunk("pHYs", QByteArray(9, '\1'));
    const QList<std::pair<const char*, QByteArray>> refused{
        {"compressed text and a colour profile", bomb},
        {"plain text", test::withChunks(honest, test::pngChunk("tEXt", QByteArray("Title\0Night", 11)))},
        {"a chunk of no known kind", test::withChunks(honest, test::pngChunk("vpAg", QByteArray(9, '\0')))},
        {"a second pHYs", test::withChunks(honest, physical + physical)},
        {"anything after the end", honest + test::pngChunk("tEXt", QByteArray("Title\0Night", 11))},
    };
    for (const auto& [what, bytes] : refused)
        EXPECT_FALSE(iconentryimage::decode(bytes, 128)) << what;

    const std::optional<qint64> honestCost = peakGrowth([&] { EXPECT_TRUE(iconentryimage::decode(honest, 128)); });
    const std::optional<qint64> bombCost = peakGrowth([&] { EXPECT_FALSE(iconentryimage::decode(bomb, 128)); });
    if (!honestCost || !bombCost)
        GTEST_SKIP() << "this system cannot reset the peak of resident memory";
    // The bomb's chunks unpack to some 63 MB; a few MB of slack are the allocator's.
    EXPECT_LE(*bombCost, *honestCost + 4 * 1024 * 1024) << *bombCost << " against " << *honestCost;
}

// What processes killed during a write left, and more entries than the cap (two Velmors
// sharing the folder), are dealt with when the cache is first used, not at the next store.
TEST(IconRenderCache, SweepsDeadWritersTemporariesAndHoldsItsCapAtStart)
{
    QTemporaryDir folder;
    const QDir dir(folder.path());
    const QString a = IconRenderCache::key("a", 128);
    const QString dead = '.' + a + ".999999999-3";
    const QString own = '.' + a + '.' + QString::number(::getpid()) + "-1";
    const QString running = '.' + a + ".1-2"; // pid 1 runs
    const QString foreign = ".notes.999999999-1";
    for (const QString& name : {dead, own, running, foreign})
        test::writeFile(dir.filePath(name), "half an entry");
    for (int i = 0; i < 5; ++i) {
        const QString name = IconRenderCache::key(QByteArray::number(i), 128);
        test::writeFile(dir.filePath(name), "refused p");
        setAge(dir.filePath(name), 100 - i);
    }

    IconRenderCache cache(folder.path(), {3, 1024}, "p");
    EXPECT_FALSE(cache.find(a));
    EXPECT_FALSE(dir.exists(dead));
    for (const QString& name : {own, running, foreign})
        EXPECT_TRUE(dir.exists(name)) << name.toStdString();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(bool(cache.find(IconRenderCache::key(QByteArray::number(i), 128))), i >= 2) << i;

    // The bytes as well: 9 bytes each, 20 allowed.
    IconRenderCache(folder.path(), {100, 20}, "p").find(a);
    EXPECT_FALSE(QFile::exists(dir.filePath(IconRenderCache::key("2", 128))));
    EXPECT_TRUE(QFile::exists(dir.filePath(IconRenderCache::key("4", 128))));
}

} // namespace
