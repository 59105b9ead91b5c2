// The data folder's lock: one holder at a time, told by name, and a file that is
// only ever a regular file of its own, whatever was put at its name.

#include "store/DataFolderLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
    struct stat entry {};
    ASSERT_EQ(::lstat(QFile::encodeName(lock.path()).constData(), &entry), 0);
    EXPECT_EQ(entry.st_nlink, 1u);
    EXPECT_EQ(entry.st_uid, ::geteuid());
    EXPECT_EQ(DataFolderLock::decode(bytesOf(lock.path())), DataFolderLock::self());
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Another account, for the cases only other owners make: needs root to plant them.
constexpr uid_t otherAccount = 65534;

// `run` in a child process of the other account; what it returns comes back.
QByteArray asOtherAccount(const std::function<QByteArray()>& run)
{
    int ends[2];
    if (::pipe(ends) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        const QByteArray answer = ::setgid(otherAccount) == 0 && ::setuid(otherAccount) == 0 ? run() : "no account";
        (void)!::write(ends[1], answer.constData(), answer.size());
        ::_exit(0);
    }
    ::close(ends[1]);
    QByteArray answer;
    char buffer[4096];
    for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, n);
    ::close(ends[0]);
    ::waitpid(child, nullptr, 0);
    return answer;
}

QByteArray outcomeText(DataFolderLock& lock)
{
    const DataFolderLock::Outcome outcome = lock.acquire();
    return QByteArray::number(static_cast<int>(outcome)) + ' ' + lock.message().toUtf8();
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

// A hard link at the name is the user's document by another name: it is never
// written, the lock gets a file of its own. A second name given to a held lock
// file does not let a second start take it.
TEST(DataFolderLock, AHardLinkIsNeverWrittenThrough)
{
    const QTemporaryDir folder;
    const QString data = folder.filePath("Velmor");
    ASSERT_TRUE(QDir().mkpath(data));
    const QString thesis = folder.filePath("thesis.txt");
    writeBytes(thesis, "my thesis\n");
    const QString path = QDir(data).filePath(DataFolderLock::fileName);
    ASSERT_EQ(::link(QFile::encodeName(thesis).constData(), QFile::encodeName(path).constData()), 0);

    auto first = std::make_unique<DataFolderLock>(data);
    ASSERT_EQ(first->acquire(), DataFolderLock::Outcome::held) << first->message().toStdString();
    EXPECT_EQ(bytesOf(thesis), "my thesis\n");
    expectOwnRegularFile(*first);
    EXPECT_EQ(QDir(data).entryList(QDir::Files | QDir::Hidden), QStringList{DataFolderLock::fileName});

    const QString otherName = folder.filePath("other-name");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(otherName).constData()), 0);
    DataFolderLock second(data);
    EXPECT_EQ(second.acquire(), DataFolderLock::Outcome::inUse);
    EXPECT_EQ(second.holder(), DataFolderLock::self());

    // Let go: the twice-named file is replaced, its other name keeps what it held.
    first.reset();
    writeBytes(otherName, "kept\n");
    ASSERT_EQ(second.acquire(), DataFolderLock::Outcome::held) << second.message().toStdString();
    expectOwnRegularFile(second);
    EXPECT_EQ(bytesOf(otherName), "kept\n");
}

// Another account's file: replaced while nobody holds it; told by its owner, never by
// its text, while a program holds it or it cannot even be opened.
TEST(DataFolderLock, AnotherAccountsFileIsReplacedOrToldByItsOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting another account's file needs root";
    const QTemporaryDir folder;
    const QString data = folder.filePath("Velmor");
    ASSERT_TRUE(QDir().mkpath(data));
    const QString path = QDir(data).filePath(DataFolderLock::fileName);
    const QByteArray native = QFile::encodeName(path);
    const QByteArray forged = "4242\nws-b\n";
    writeBytes(path, forged);
    ASSERT_EQ(::chown(native.constData(), otherAccount, otherAccount), 0);
    ASSERT_EQ(::chmod(native.constData(), 0644), 0);

    {
        // Held by a program: nothing replaced, the forged host and process never shown.
        const UniqueFd holder(::open(native.constData(), O_RDONLY | O_CLOEXEC));
        ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);
        DataFolderLock lock(data);
        EXPECT_EQ(lock.acquire(), DataFolderLock::Outcome::inUse);
        EXPECT_FALSE(lock.holder());
        const QString message = lock.message();
        EXPECT_NE(message.indexOf(QStringLiteral("“%1” belongs to another account (“").arg(path)), -1)
            << message.toStdString();
        EXPECT_NE(message.indexOf(QStringLiteral("remove the file, then start Velmor again.")), -1);
        EXPECT_EQ(message.indexOf(QStringLiteral("ws-b")), -1);
        EXPECT_EQ(message.indexOf(QStringLiteral("4242")), -1);
        EXPECT_EQ(bytesOf(path), forged);
    }
    {
        DataFolderLock lock(data);
        ASSERT_EQ(lock.acquire(), DataFolderLock::Outcome::held) << lock.message().toStdString();
        expectOwnRegularFile(lock);
    }

    // Seen from the other account: a file of root's it may not open, in a folder of its own.
    ASSERT_EQ(::chmod(native.constData(), 0600), 0);
    ASSERT_EQ(::chown(QFile::encodeName(data).constData(), otherAccount, otherAccount), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0755), 0);
    const QByteArray refused = asOtherAccount([&data] {
        DataFolderLock lock(data);
        return outcomeText(lock);
    });
    EXPECT_TRUE(refused.startsWith(QByteArray::number(static_cast<int>(DataFolderLock::Outcome::failed)) + ' '))
        << refused.toStdString();
    EXPECT_NE(refused.indexOf("belongs to another account (“root”) and cannot be opened (Permission denied)"), -1)
        << refused.toStdString();
    EXPECT_NE(refused.indexOf("remove the file, then start Velmor again."), -1);

    // A folder it may not write at all is read-only to it: nothing to lock there.
    ASSERT_EQ(::chown(QFile::encodeName(data).constData(), 0, 0), 0);
    const QByteArray readOnly = asOtherAccount([&data] {
        DataFolderLock lock(data);
        return outcomeText(lock);
    });
    EXPECT_EQ(readOnly, QByteArray::number(static_cast<int>(DataFolderLock::Outcome::readOnly)) + ' '
                            + QStringLiteral("The data folder “%1” cannot be written (Permission denied).")
                                  .arg(data)
                                  .toUtf8());
}

} // namespace
} // namespace velmor
