#include "platform/cloud/memory/MemoryCloud.h"
#include "support/InProcessIconRenderer.h"
#include "support/TestSupport.h"
#include "sync/CloudKitIconSync.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::cloud;
using Call = MemoryCloud::Call;

namespace {

constexpr int iconCount = 2000;

QCoro::Task<> passThenMark(CloudKitIconSync& sync, QStringList names, bool& ended)
{
    co_await sync.requestSync(std::move(names));
    ended = true;
}

// A quit during a pass over 2,000 icons: the pass ends at its next step with nothing
// left waiting, what settled is kept, and the next start syncs the rest without doing
// the first part again.
class IconPassQuit : public test::PlatformFixture {};

TEST_F(IconPassQuit, AQuitEndsThePassAtItsNextStepAndTheNextStartDoesTheRest)
{
    test::InProcessIconRenderer renderer;
    MemoryCloud cloud;
    const QTemporaryDir icons;
    const QTemporaryDir data;
    const QTemporaryDir temporary;
    QStringList names;
    for (int i = 0; i < iconCount; ++i) {
        names << QStringLiteral("i%1.svg").arg(i, 4, 10, QLatin1Char('0'));
        test::writeFile(icons.filePath(names.last()),
                        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><rect width=")" +
                            QByteArray::number(i % 8 + 1) + R"(" height="8"/></svg>)");
    }
    const std::shared_ptr<Database> database = cloud.makeClient()->privateCloudDatabase();
    auto sync = std::make_unique<CloudKitIconSync>(*database, icons.path(), temporary.path(), data.path());
    QStringList told;
    sync->setRefusalHandler([&](const QString& text) { told << text; });

    cloud.setHolding(true);
    bool ended = false;
    passThenMark(*sync, names, ended);
    queue->runUntilIdle();
    while (cloud.callCount(Call::saveRecord) < 700) {
        ASSERT_FALSE(cloud.heldCalls().isEmpty());
        cloud.releaseAll();
        queue->runUntilIdle();
    }
    sync->stop();
    sync->requestSync({"late.svg"}); // a request during the quit starts nothing
    for (int step = 0; step < 3 && !cloud.heldCalls().isEmpty(); ++step) {
        cloud.releaseAll();
        queue->runUntilIdle();
    }
    EXPECT_TRUE(ended) << "ended within its next step";
    EXPECT_TRUE(cloud.heldCalls().isEmpty());
    EXPECT_EQ(queue->pendingCount(), 0u);
    const int saved = cloud.callCount(Call::saveRecord);
    EXPECT_LE(saved, 701);
    EXPECT_TRUE(QDir(temporary.path()).isEmpty()) << "no upload's file left";
    sync.reset();

    // The next start: the rest goes up, nothing twice.
    cloud.setHolding(false);
    sync = std::make_unique<CloudKitIconSync>(*database, icons.path(), temporary.path(), data.path());
    sync->requestSync(names);
    queue->runUntilIdle();
    EXPECT_EQ(cloud.callCount(Call::saveRecord), iconCount);
    for (const QString& name : {QString("i0000"), QString("i0699"), QString("i1999")})
        EXPECT_TRUE(cloud.storedRecord(name)) << name.toStdString();
    EXPECT_TRUE(told.isEmpty()) << told.join('\n').toStdString();
}

} // namespace
