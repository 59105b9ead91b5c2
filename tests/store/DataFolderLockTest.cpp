// The data folder's lock: one holder at a time, told by name, and a file that is
// only ever a regular file of its own, whatever was put at its name.

#include "store/DataFolderLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace velmor {
namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void expectOwnRegularFile(const DataFolderLock& lock)
{
    const QFileInfo info(lock.path());
    EXPECT_FALSE(info.isSymLink());
    EXPECT_TRUE(info.isFile());
    EXPECT_EQ(DataFolderLock::decode(bytesOf(lock.path())), DataFolderLock::self());
}

TEST(DataFolderLock, OneHolderAtATimeUntilItGoes)
{
    const QTemporaryDir folder;
    const QString data = folder.filePath("Velmor");
    auto first = std::make_unique<DataFolderLock>(data);
    ASSERT_EQ(first->acquire(), DataFolderLock::Outcome::held) << first->message().toStdString();
    expectOwnRegularFile(*first);

    // A second start on this computer (a lock is per open file, so one process shows it).
    DataFolderLock second(data);
    EXPECT_EQ(second.acquire(), DataFolderLock::Outcome::inUse);
    EXPECT_EQ(second.holder(), DataFolderLock::self());
    const std::string message = second.message().toStdString();
    EXPECT_NE(message.find("on this computer, in another session (process " + std::to_string(::getpid()) + ")"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find(QDir::toNativeSeparators(data).toStdString()), std::string::npos) << message;
    EXPECT_EQ(bytesOf(first->path()), DataFolderLock::encode(DataFolderLock::self())) << "the loser wrote";

    // Another computer's holder is named by its host; a file still being written names none.
    {
        QFile file(first->path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("4242\nws-b\n");
    }
    EXPECT_EQ(second.acquire(), DataFolderLock::Outcome::inUse);
    EXPECT_NE(second.message().indexOf(QStringLiteral("on “ws-b” (process 4242)")), -1)
        << second.message().toStdString();
    {
        QFile file(first->path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }
    EXPECT_EQ(second.acquire(), DataFolderLock::Outcome::inUse);
    EXPECT_FALSE(second.holder());
    EXPECT_NE(second.message().indexOf(QStringLiteral("in another session or on another computer")), -1);

    first.reset();
    EXPECT_EQ(second.acquire(), DataFolderLock::Outcome::held) << second.message().toStdString();
    expectOwnRegularFile(second);
}

TEST(DataFolderLock, HolderBytes)
{
    EXPECT_EQ(DataFolderLock::decode(DataFolderLock::encode({"host.example", 17})),
              (DataFolderLock::Holder{"host.example", 17}));
    for (const QByteArray& bad : {QByteArray(), QByteArray("17\n"), QByteArray("x\nhost\n"), QByteArray("-3\nhost\n"),
                                  QByteArray("17\n\n"), QByteArray("17\nhost\nmore\n"), QByteArray("17\nhost")})
        EXPECT_FALSE(DataFolderLock::decode(bad)) << bad.toStdString();
}

// A link, FIFO or socket at the lock's name is removed, never opened or followed; a
// folder there is told, with one full stop.
TEST(DataFolderLock, WhatIsPutAtItsNameIsNeverUsed)
{
    const QTemporaryDir folder;
    const QString data = folder.filePath("Velmor");
    ASSERT_TRUE(QDir().mkpath(data));
    const QString path = QDir(data).filePath(DataFolderLock::fileName);
    const QString outside = folder.filePath("outside");
    {
        QFile file(outside);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not Velmor's");
    }
    for (const QString& target : {outside, folder.filePath("missing")}) {
        ASSERT_TRUE(QFile::link(target, path));
        DataFolderLock lock(data);
        ASSERT_EQ(lock.acquire(), DataFolderLock::Outcome::held) << lock.message().toStdString();
        expectOwnRegularFile(lock);
        EXPECT_EQ(bytesOf(outside), "not Velmor's");
        EXPECT_FALSE(QFile::exists(folder.filePath("missing")));
        QFile::remove(path);
    }

    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    {
        DataFolderLock lock(data); // an open of the FIFO would block here
        ASSERT_EQ(lock.acquire(), DataFolderLock::Outcome::held) << lock.message().toStdString();
        expectOwnRegularFile(lock);
    }

    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkpath(path));
    DataFolderLock lock(data);
    EXPECT_EQ(lock.acquire(), DataFolderLock::Outcome::failed);
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_NE(lock.message().indexOf(QStringLiteral("is a folder, not a regular file. Velmor")), -1)
        << lock.message().toStdString();
    EXPECT_EQ(lock.message().indexOf(QStringLiteral("..")), -1);
}

} // namespace
} // namespace velmor
