// A write that fails is told once, in the owner's words, with the cause as a clause.

#include "support/TestSupport.h"
#include "sync/QueuedFileWriter.h"

#include <QDir>

#include <gtest/gtest.h>

namespace velmor {
namespace {

class QueuedFileWriterTold : public test::PlatformFixture {};

TEST_F(QueuedFileWriterTold, AFolderInTheFilesPlaceIsToldWithOneFullStop)
{
    const QTemporaryDir data;
    const QString path = QDir(data.path()).filePath("state.json");
    ASSERT_TRUE(QDir().mkpath(path));
    QStringList told;
    const auto text = [](const QString& at, const QString& cause) { return "“" + at + "”: " + cause + ". Until then."; };
    QueuedFileWriter writer("com.velmor.test", text, [&told](const QString& message) { told << message; });
    writer.write(path, [] { return QByteArray("{}"); });
    writer.write(path, [] { return QByteArray("{}"); });
    queue->runUntilIdle();
    ASSERT_EQ(told.size(), 1) << "told once until a write works";
    EXPECT_TRUE(told.first().endsWith(" is a folder, not a regular file. Until then.")) << told.first().toStdString();
    EXPECT_EQ(told.first().indexOf(".."), -1) << told.first().toStdString();
}

} // namespace
} // namespace velmor
