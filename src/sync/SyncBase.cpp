#include "sync/SyncBase.h"

#include "platform/RegularFile.h"
#include "platform/UniqueFd.h"
#include "store/FileSystem.h"
#include "sync/QueueTask.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmor {

namespace {

const QString accountKey = QStringLiteral("account");
const QString changeTagKey = QStringLiteral("recordChangeTag");
const QString generationKey = QStringLiteral("generation");
const QString dateKey = QStringLiteral("updatedAt");
const QString replacesKey = QStringLiteral("replaces");
const QString seenKey = QStringLiteral("seen");
const QString restoresKey = QStringLiteral("restores");
const QString highestKey = QStringLiteral("highest");
// The stamp line holds two names.
constexpr qint64 maxStampBytes = 16 * 1024;
constexpr qint64 maxFileBytes = LocalFileSystem::maxReadBytes + maxStampBytes;

// Written as text: a JSON number loses 64-bit precision.
std::optional<qint64> numberIn(const QJsonObject& object, const QString& key)
{
    bool isNumber = false;
    const qint64 number = object.value(key).toString().toLongLong(&isNumber);
    return isNumber ? std::optional(number) : std::nullopt;
}

QStringList tagsIn(const QJsonValue& value)
{
    QStringList tags;
    for (const QJsonValue& tag : value.toArray()) {
        if (tag.isString())
            tags.append(tag.toString());
    }
    return tags;
}

std::optional<SyncBase::Stamp> stampFrom(const QByteArray& line)
{
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    const QJsonValue account = object.value(accountKey);
    const QJsonValue changeTag = object.value(changeTagKey);
    if (!account.isString() || account.toString().isEmpty() || !changeTag.isString())
        return std::nullopt;
    SyncBase::Stamp stamp;
    stamp.account = account.toString();
    stamp.changeTag = changeTag.toString();
    stamp.generation = numberIn(object, generationKey);
    stamp.highest = numberIn(object, highestKey);
    if (const QDateTime date = QDateTime::fromString(object.value(dateKey).toString(), Qt::ISODateWithMs); date.isValid())
        stamp.date = date.toUTC();
    if (const QJsonValue replaces = object.value(replacesKey); replaces.isArray())
        stamp.replaces = tagsIn(replaces);
    stamp.seen = tagsIn(object.value(seenKey));
    stamp.restores = object.value(restoresKey).toString();
    return stamp;
}

// The file's first line, read without blocking: our own file, never a link, FIFO or
// folder someone put there, even one swapped in while we look.
std::optional<QByteArray> stampLine(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const UniqueFd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    QByteArray bytes(maxStampBytes, '\0');
    const ssize_t count = ::pread(fd.get(), bytes.data(), bytes.size(), 0);
    if (count <= 0)
        return std::nullopt;
    bytes.truncate(count);
    const qsizetype end = bytes.indexOf('\n');
    return end < 0 ? bytes : bytes.first(end);
}

QString writeFailureText(const QString& path, const QString& cause)
{
    return QStringLiteral("The profiles as last synced could not be kept in “%1”: %2. Until they are, changes made "
                          "here and elsewhere are merged without them: nothing is lost, but a profile deleted "
                          "meanwhile may come back.")
        .arg(QDir::toNativeSeparators(path), cause);
}

} // namespace

SyncBase::SyncBase(const QString& folder, std::function<void(const QString&)> onWriteFailure)
    : path_(QDir(folder).filePath(fileName)),
      writer_(QStringLiteral("com.velmor.syncbase"), writeFailureText, std::move(onWriteFailure))
{
    if (const std::optional<QByteArray> line = stampLine(path_))
        stamp_ = stampFrom(*line);
    written_ = stamp_;
}

QByteArray SyncBase::encode(const Stamp& stamp, const QByteArray& document)
{
    QJsonObject line{{accountKey, stamp.account}, {changeTagKey, stamp.changeTag}};
    if (stamp.generation)
        line.insert(generationKey, QString::number(*stamp.generation));
    if (stamp.date)
        line.insert(dateKey, stamp.date->toUTC().toString(Qt::ISODateWithMs));
    if (stamp.replaces)
        line.insert(replacesKey, QJsonArray::fromStringList(*stamp.replaces));
    if (!stamp.seen.isEmpty())
        line.insert(seenKey, QJsonArray::fromStringList(stamp.seen));
    if (!stamp.restores.isEmpty())
        line.insert(restoresKey, stamp.restores);
    if (stamp.highest)
        line.insert(highestKey, QString::number(*stamp.highest));
    QByteArray bytes = QJsonDocument(line).toJson(QJsonDocument::Compact);
    bytes.reserve(bytes.size() + 1 + document.size());
    bytes.append('\n');
    bytes.append(document);
    return bytes;
}

std::optional<std::pair<SyncBase::Stamp, QByteArray>> SyncBase::decode(const QByteArray& bytes)
{
    const qsizetype end = bytes.indexOf('\n');
    if (end < 0 || end > maxStampBytes)
        return std::nullopt;
    const std::optional<Stamp> stamp = stampFrom(bytes.first(end));
    if (!stamp)
        return std::nullopt;
    return std::pair{*stamp, bytes.sliced(end + 1)};
}

void SyncBase::remember(Stamp stamp, QByteArray document)
{
    if (stamp_ == stamp && written_ == stamp)
        return;
    stamp_ = stamp;
    written_ = stamp;
    // A write that fails leaves the earlier base, which then no longer matches the stamp: no base.
    writer_.write(path_, [stamp = std::move(stamp), document = std::move(document)] { return encode(stamp, document); });
}

void SyncBase::restamp(Stamp stamp)
{
    if (stamp_)
        stamp_ = std::move(stamp);
}

QCoro::Task<std::optional<QByteArray>> SyncBase::document() const
{
    if (!written_)
        co_return std::nullopt;
    const auto read = [path = path_, stamp = *written_]() -> std::optional<QByteArray> {
        const files::FileRead file = files::readRegular(path, maxFileBytes);
        auto base = file.bytes ? decode(*file.bytes) : std::nullopt;
        if (!base || base->first != stamp)
            return std::nullopt;
        return std::move(base->second);
    };
    // Named, not temporaries in the await: g++ 12 destroys those twice.
    QCoro::Task<std::optional<QByteArray>> task = onQueue<QByteArray>(writer_.queue(), read);
    std::optional<QByteArray> document = co_await std::move(task);
    co_return document;
}

} // namespace velmor
