#include "model/ProfileTemplates.h"
#include "support/TestSupport.h"
#include "sync/RemotePayloadDecoder.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

// Whole documents are let go of on the decoder's queues, never on the window's
// thread: the queues here are stepped by hand, so what holds what can be seen.
class RemotePayloadDecoderTest : public PlatformFixture {
protected:
    RemotePayloadDecoderTest()
    {
        serialQueues.makeStepwise(QStringLiteral("com.velmor.payloads"));
        serialQueues.makeStepwise(QStringLiteral("com.velmor.payloads.release"));
        decoder = std::make_unique<RemotePayloadDecoder>();
    }

    ManualSerialQueue& payloads() { return *serialQueues.find(QStringLiteral("com.velmor.payloads")); }
    ManualSerialQueue& releaser() { return *serialQueues.find(QStringLiteral("com.velmor.payloads.release")); }

    static LoadResult document()
    {
        LoadResult profiles;
        profiles.pacsProfiles = ProfileTemplates::builtInPacsProfiles();
        profiles.userProfiles = ProfileTemplates::defaultUserProfiles(profiles.pacsProfiles);
        return profiles;
    }

    std::unique_ptr<RemotePayloadDecoder> decoder;
};

// A released document is handed over on the next turn of the main queue, and its
// last hold ends when the release queue runs.
TEST_F(RemotePayloadDecoderTest, ReleasedDocumentsEndTheirHoldOnTheReleaseQueue)
{
    const LoadResult kept = document();
    const QByteArray bytes(1000, 'x');
    decoder->release(LoadResult(kept));
    decoder->release(QByteArray(bytes));
    decoder->release(QByteArray());
    EXPECT_EQ(releaser().pendingCount(), 0u) << "nothing is handed over within the turn";
    queue->runUntilIdle();
    EXPECT_EQ(releaser().pendingCount(), 2u) << "an empty document is not worth a job";
    EXPECT_FALSE(kept.pacsProfiles.isDetached());
    EXPECT_FALSE(bytes.isDetached());
    releaser().runAll();
    EXPECT_TRUE(kept.pacsProfiles.isDetached());
    EXPECT_TRUE(kept.userProfiles.isDetached());
    EXPECT_TRUE(bytes.isDetached());
}

// The summary's job lets go of its copies of both documents when it has run, on
// its queue, before the window's thread hears of the notice.
TEST_F(RemotePayloadDecoderTest, ASummaryLetsGoOfItsDocumentsOnItsQueue)
{
    const LoadResult before = document();
    LoadResult after = before;
    after.userProfiles.first().name = QStringLiteral("Renamed elsewhere");
    std::optional<SyncChangeSummary::Notice> notice;
    bool told = false;
    auto summarizing = [&]() -> QCoro::Task<> {
        notice = co_await decoder->summarize(before, after);
        told = true;
    };
    QCoro::Task<> task = summarizing();
    // The test's own two share their PACS profiles; their users are each their own.
    EXPECT_FALSE(before.userProfiles.isDetached());
    EXPECT_FALSE(after.userProfiles.isDetached());
    payloads().runAll();
    EXPECT_TRUE(before.userProfiles.isDetached());
    EXPECT_TRUE(after.userProfiles.isDetached());
    EXPECT_FALSE(told);
    queue->runUntilIdle();
    ASSERT_TRUE(told);
    ASSERT_TRUE(notice.has_value());
    EXPECT_TRUE(notice->body.contains(QStringLiteral("Renamed elsewhere"))) << notice->body.toStdString();
}

} // namespace
