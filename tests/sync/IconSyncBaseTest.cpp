// The icons' base is read on its queue, never on the window's thread, however large
// its file; the entries are there for the first sync, for the account set meanwhile.

#include "support/TestSupport.h"
#include "sync/IconSyncBase.h"

#include <QDir>

#include <gtest/gtest.h>

namespace velmor {
namespace {

const QString queueLabel = QStringLiteral("com.velmor.iconbase");

IconSyncBase::Entry entryFor(int i)
{
    return {QStringLiteral("icon%1.svg").arg(i), IconSyncBase::hashOf(QByteArray::number(i)),
            QStringLiteral("tag-%1").arg(i), {files::FileKind::regular, i, 1'700'000'000'000'000'000 + i, 2049,
                                              static_cast<quint64>(i)}};
}

class IconSyncBaseRead : public test::PlatformFixture {
protected:
    IconSyncBaseRead() { serialQueues.makeStepwise(queueLabel); }

    // A base file of just under its 32 MB limit: a few entries and a long field it ignores.
    void writeLargeBase(const QString& account)
    {
        QHash<QString, IconSyncBase::Entry> entries;
        for (int i = 0; i < 50; ++i)
            entries.insert(QStringLiteral("icon%1").arg(i), entryFor(i));
        QByteArray bytes = IconSyncBase::encode(account, entries);
        bytes.insert(1, "\"padding\":\"" + QByteArray(32 * 1024 * 1024 - 64 - bytes.size(), 'x') + "\",");
        ASSERT_GT(bytes.size(), 32 * 1024 * 1024 - 100);
        ASSERT_LT(bytes.size(), 32 * 1024 * 1024);
        count = entries.size();
        test::writeFile(QDir(data.path()).filePath(IconSyncBase::fileName), bytes);
    }
    ManualSerialQueue& baseQueue() { return *serialQueues.find(queueLabel); }
    void whenReady(IconSyncBase& base)
    {
        base.ready();
        queue->runUntilIdle();
        EXPECT_GT(baseQueue().runAll(), 0);
        queue->runUntilIdle();
    }

    QTemporaryDir data;
    qsizetype count = 0;
};

TEST_F(IconSyncBaseRead, ALargeFileIsReadOnTheQueueAndServesTheFirstSync)
{
    writeLargeBase("_owner");
    IconSyncBase base(data.path());
    // Made without reading: the read waits on the base's queue.
    EXPECT_EQ(baseQueue().pendingCount(), 1u);
    EXPECT_TRUE(base.recordNames().isEmpty());

    whenReady(base);
    EXPECT_EQ(base.recordNames().size(), count);
    EXPECT_EQ(base.entry("icon7"), entryFor(7));
    base.setAccount("_owner");
    EXPECT_EQ(base.recordNames().size(), count);

    // A second wait reads nothing again.
    base.ready();
    queue->runUntilIdle();
    EXPECT_EQ(baseQueue().pendingCount(), 0u);
}

TEST_F(IconSyncBaseRead, TheAccountSetBeforeTheReadDecidesOnWhatItHeld)
{
    writeLargeBase("_owner");
    {
        IconSyncBase base(data.path());
        base.setAccount("_owner");
        whenReady(base);
        EXPECT_EQ(base.entry("icon3"), entryFor(3));
    }
    {
        IconSyncBase base(data.path());
        base.setAccount("_someone else");
        whenReady(base);
        EXPECT_TRUE(base.recordNames().isEmpty());
    }
    // Gone before the read came back: nothing is touched.
    {
        auto base = std::make_unique<IconSyncBase>(data.path());
        base->ready();
        base.reset();
        baseQueue().runAll();
        queue->runUntilIdle();
    }
}

} // namespace
} // namespace velmor
