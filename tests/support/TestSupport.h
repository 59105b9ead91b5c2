#pragma once

#include "platform/Clock.h"
#include "platform/SerialQueue.h"
#include "platform/Settings.h"
#include "platform/VirtualMainQueue.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velmor::test {

// Path of a file under tests/data.
QString dataPath(const QString& relative);
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
// An id that no process has any more: a child that ended and was waited for.
qint64 endedProcess();

// A test's whole platform: virtual-time main queue, manual clock, in-memory
// settings, serial queues that run on the test's thread, and a temporary
// Application Support folder.
class PlatformFixture : public ::testing::Test {
protected:
    PlatformFixture();
    ~PlatformFixture() override;

    QString supportPath(const QString& name) const { return supportDir.filePath(name); }

    ScopedVirtualMainQueue queue;
    ScopedManualClock clock;
    ScopedInMemorySettings settings;
    ScopedManualSerialQueues serialQueues;
    QTemporaryDir supportDir;
};

} // namespace velmor::test
