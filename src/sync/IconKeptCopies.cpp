#include "sync/IconKeptCopies.h"

#include "platform/FileNames.h"
#include "platform/RegularFile.h"
#include "store/FileSystem.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace velmor {

namespace {

const QString untoldKey = QStringLiteral("untold");
const QString toldKey = QStringLiteral("told");
const QString drawingsKey = QStringLiteral("drawings");
const QString spellingsKey = QStringLiteral("spellings");
constexpr qint64 maxFileBytes = 4 * 1024 * 1024;
constexpr qsizetype sha256Bytes = 32;

} // namespace

IconKeptCopies::IconKeptCopies(const QString& folder, std::function<void(const QString&)> onWriteFailure)
    : path_(folder.isEmpty() ? QString() : QDir(folder).filePath(fileName)),
      onWriteFailure_(std::move(onWriteFailure))
{
    if (path_.isEmpty())
        return;
    // Our own file, never a link, FIFO or folder someone put there.
    if (const files::FileRead read = files::readRegular(path_, maxFileBytes); read.bytes) {
        Noted noted = decode(*read.bytes);
        copies_ = std::move(noted.copies);
        spellings_ = std::move(noted.spellings);
    }
}

QStringList IconKeptCopies::untold() const
{
    QStringList files;
    for (auto it = copies_.cbegin(); it != copies_.cend(); ++it)
        if (!it.value().told)
            files.append(it.key());
    return files;
}

bool IconKeptCopies::holdsKeptDrawing(const QString& file, const QByteArray& hash) const
{
    const auto found = copies_.constFind(file);
    return found != copies_.cend() && (found->hash.isEmpty() || found->hash == hash);
}

void IconKeptCopies::add(const QString& file, const QByteArray& hash)
{
    copies_.insert(file, Copy{false, hash});
    write();
}

void IconKeptCopies::remove(const QString& file)
{
    if (copies_.remove(file))
        write();
}

void IconKeptCopies::told(const QStringList& files)
{
    bool changed = false;
    for (const QString& file : files) {
        auto found = copies_.find(file);
        if (found != copies_.end() && !found->told) {
            found->told = true;
            changed = true;
        }
    }
    if (changed)
        write();
}

void IconKeptCopies::tellSpelling(const QString& file, const QByteArray& hash)
{
    spellings_.insert(file, hash);
    write();
}

void IconKeptCopies::write()
{
    if (path_.isEmpty())
        return;
    // Before the copy it stands for is made: a kill then still finds it noted.
    try {
        LocalFileSystem().write(path_, encode({copies_, spellings_}));
        failing_ = false;
    } catch (const FileError& error) {
        if (!std::exchange(failing_, true) && onWriteFailure_)
            onWriteFailure_(QStringLiteral("The drawings kept beside icons could not be noted in “%1”: %2. A "
                                           "drawing kept while Velmor is stopped may then not be told.")
                                .arg(QDir::toNativeSeparators(path_), error.description()));
    }
}

QByteArray IconKeptCopies::encode(const Noted& noted)
{
    QJsonArray untold;
    QJsonArray told;
    QJsonObject drawings;
    for (auto it = noted.copies.cbegin(); it != noted.copies.cend(); ++it) {
        (it->told ? told : untold).append(it.key());
        if (!it->hash.isEmpty())
            drawings.insert(it.key(), QString::fromLatin1(it->hash.toHex()));
    }
    QJsonObject spellings;
    for (auto it = noted.spellings.cbegin(); it != noted.spellings.cend(); ++it)
        spellings.insert(it.key(), QString::fromLatin1(it->toHex()));
    return QJsonDocument(QJsonObject{{untoldKey, untold}, {toldKey, told}, {drawingsKey, drawings},
                                     {spellingsKey, spellings}})
        .toJson(QJsonDocument::Compact);
}

IconKeptCopies::Noted IconKeptCopies::decode(const QByteArray& bytes)
{
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    // A hash that is none counts as not noted.
    const auto hashIn = [](const QJsonObject& hashes, const QString& file) {
        QByteArray hash = QByteArray::fromHex(hashes.value(file).toString().toLatin1());
        return hash.size() == sha256Bytes ? hash : QByteArray();
    };
    const QJsonObject drawings = object.value(drawingsKey).toObject();
    Noted noted;
    for (const bool told : {true, false}) {
        for (const QJsonValue& value : object.value(told ? toldKey : untoldKey).toArray()) {
            // A name that is no plain file name is no copy of ours.
            if (const QString file = value.toString(); isPlainFileName(file))
                noted.copies.insert(file, Copy{told, hashIn(drawings, file)});
        }
    }
    const QJsonObject spellings = object.value(spellingsKey).toObject();
    for (auto it = spellings.constBegin(); it != spellings.constEnd(); ++it)
        if (const QByteArray hash = hashIn(spellings, it.key()); isPlainFileName(it.key()) && !hash.isEmpty())
            noted.spellings.insert(it.key(), hash);
    return noted;
}

} // namespace velmor
