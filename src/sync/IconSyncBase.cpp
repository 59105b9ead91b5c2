#include "sync/IconSyncBase.h"

#include "platform/FileNames.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace velmor {

namespace {

const QString accountKey = QStringLiteral("account");
const QString iconsKey = QStringLiteral("icons");
const QString fileKey = QStringLiteral("file");
const QString hashKey = QStringLiteral("sha256");
const QString changeTagKey = QStringLiteral("recordChangeTag");
const QString stampKey = QStringLiteral("stamp");
// Tens of thousands of icons.
constexpr qint64 maxFileBytes = 32 * 1024 * 1024;

// "size:modifiedNs:device:inode", as text: JSON numbers keep 53 bits only.
QString stampText(const files::FileStamp& stamp)
{
    return QStringLiteral("%1:%2:%3:%4").arg(stamp.size).arg(stamp.modifiedNs).arg(stamp.device).arg(stamp.inode);
}

std::optional<files::FileStamp> stampFrom(const QString& text)
{
    const QStringList parts = text.split(u':');
    if (parts.size() != 4)
        return std::nullopt;
    bool ok[4] = {};
    files::FileStamp stamp{files::FileKind::regular, parts[0].toLongLong(&ok[0]), parts[1].toLongLong(&ok[1]),
                           parts[2].toULongLong(&ok[2]), parts[3].toULongLong(&ok[3])};
    if (!std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }))
        return std::nullopt;
    return stamp;
}

std::optional<IconSyncBase::Entry> entryFrom(const QJsonValue& value)
{
    const QJsonObject object = value.toObject();
    const QString file = object.value(fileKey).toString();
    const QByteArray hash = QByteArray::fromHex(object.value(hashKey).toString().toLatin1());
    const std::optional<files::FileStamp> stamp = stampFrom(object.value(stampKey).toString());
    if (!isPlainFileName(file) || hash.size() != 32 || !object.value(changeTagKey).isString() || !stamp)
        return std::nullopt;
    return IconSyncBase::Entry{file, hash, object.value(changeTagKey).toString(), *stamp};
}

QString writeFailureText(const QString& path, const QString& cause)
{
    return QStringLiteral("The icons as last synced could not be kept in “%1”: %2. Until they are, an icon "
                          "changed here and elsewhere keeps both drawings, the later under its name.")
        .arg(QDir::toNativeSeparators(path), cause);
}

} // namespace

IconSyncBase::IconSyncBase(const QString& folder, std::function<void(const QString&)> onWriteFailure)
    : path_(folder.isEmpty() ? QString() : QDir(folder).filePath(fileName)),
      writer_(QStringLiteral("com.velmor.iconbase"), writeFailureText, std::move(onWriteFailure))
{
    if (path_.isEmpty())
        return;
    // Our own file, never a link, FIFO or folder someone put there.
    const files::FileRead read = files::readRegular(path_, maxFileBytes);
    if (auto decoded = read.bytes ? decode(*read.bytes) : std::nullopt) {
        account_ = std::move(decoded->first);
        entries_ = std::move(decoded->second);
    }
}

void IconSyncBase::setAccount(const QString& account)
{
    if (account == account_)
        return;
    account_ = account;
    entries_.clear();
    dirty_ = true;
}

std::optional<IconSyncBase::Entry> IconSyncBase::entry(const QString& recordName) const
{
    const auto found = entries_.constFind(recordName);
    return found == entries_.cend() ? std::nullopt : std::optional(*found);
}

void IconSyncBase::remember(const QString& recordName, Entry entry)
{
    auto found = entries_.find(recordName);
    if (found != entries_.end() && *found == entry)
        return;
    entries_.insert(recordName, std::move(entry));
    dirty_ = true;
}

QStringList IconSyncBase::recordNames() const
{
    QStringList names = entries_.keys();
    std::sort(names.begin(), names.end());
    return names;
}

void IconSyncBase::write()
{
    if (!std::exchange(dirty_, false) || path_.isEmpty())
        return;
    // Encoded on the writer's queue: copies of the entries share them until the next change.
    writer_.write(path_, [account = account_, entries = entries_] { return encode(account, entries); });
}

QByteArray IconSyncBase::hashOf(const QByteArray& drawing)
{
    return QCryptographicHash::hash(drawing, QCryptographicHash::Sha256);
}

QByteArray IconSyncBase::encode(const QString& account, const QHash<QString, Entry>& entries)
{
    QJsonObject icons;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        icons.insert(it.key(), QJsonObject{{fileKey, it->file},
                                           {hashKey, QString::fromLatin1(it->hash.toHex())},
                                           {changeTagKey, it->changeTag},
                                           {stampKey, stampText(it->stamp)}});
    return QJsonDocument(QJsonObject{{accountKey, account}, {iconsKey, icons}}).toJson(QJsonDocument::Compact);
}

std::optional<std::pair<QString, QHash<QString, IconSyncBase::Entry>>> IconSyncBase::decode(const QByteArray& bytes)
{
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    if (!object.value(accountKey).isString() || !object.value(iconsKey).isObject())
        return std::nullopt;
    QHash<QString, Entry> entries;
    const QJsonObject icons = object.value(iconsKey).toObject();
    for (auto it = icons.begin(); it != icons.end(); ++it) {
        // An entry that cannot be read is no base for that icon; the others stay.
        if (std::optional<Entry> entry = entryFrom(it.value()); entry && isPlainFileName(it.key()))
            entries.insert(it.key(), std::move(*entry));
    }
    return std::pair{object.value(accountKey).toString(), std::move(entries)};
}

} // namespace velmor
