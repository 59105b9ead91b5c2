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
constexpr qint64 maxFileBytes = 4 * 1024 * 1024;

} // namespace

IconKeptCopies::IconKeptCopies(const QString& folder, std::function<void(const QString&)> onWriteFailure)
    : path_(folder.isEmpty() ? QString() : QDir(folder).filePath(fileName)),
      onWriteFailure_(std::move(onWriteFailure))
{
    if (path_.isEmpty())
        return;
    // Our own file, never a link, FIFO or folder someone put there.
    if (const files::FileRead read = files::readRegular(path_, maxFileBytes); read.bytes)
        copies_ = decode(*read.bytes);
}

QStringList IconKeptCopies::untold() const
{
    QStringList files;
    for (auto it = copies_.cbegin(); it != copies_.cend(); ++it)
        if (!it.value())
            files.append(it.key());
    return files;
}

void IconKeptCopies::add(const QString& file)
{
    copies_.insert(file, false);
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
        if (found != copies_.end() && !found.value()) {
            found.value() = true;
            changed = true;
        }
    }
    if (changed)
        write();
}

void IconKeptCopies::write()
{
    if (path_.isEmpty())
        return;
    // Before the copy it stands for is made: a kill then still finds it noted.
    try {
        LocalFileSystem().write(path_, encode(copies_));
        failing_ = false;
    } catch (const FileError& error) {
        if (!std::exchange(failing_, true) && onWriteFailure_)
            onWriteFailure_(QStringLiteral("The drawings kept beside icons could not be noted in “%1”: %2. A "
                                           "drawing kept while Velmor is stopped may then not be told.")
                                .arg(QDir::toNativeSeparators(path_), error.description()));
    }
}

QByteArray IconKeptCopies::encode(const QMap<QString, bool>& toldByFile)
{
    QJsonArray untold;
    QJsonArray told;
    for (auto it = toldByFile.cbegin(); it != toldByFile.cend(); ++it)
        (it.value() ? told : untold).append(it.key());
    return QJsonDocument(QJsonObject{{untoldKey, untold}, {toldKey, told}}).toJson(QJsonDocument::Compact);
}

QMap<QString, bool> IconKeptCopies::decode(const QByteArray& bytes)
{
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    QMap<QString, bool> copies;
    for (const bool told : {true, false}) {
        for (const QJsonValue& value : object.value(told ? toldKey : untoldKey).toArray()) {
            // A name that is no plain file name is no copy of ours.
            if (const QString file = value.toString(); isPlainFileName(file))
                copies.insert(file, told);
        }
    }
    return copies;
}

} // namespace velmor
