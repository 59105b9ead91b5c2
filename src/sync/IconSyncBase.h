#pragma once

#include "platform/RegularFile.h"
#include "sync/QueuedFileWriter.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace velmor {

// Each custom icon as this computer last synced it with a cloud account: the drawing's
// hash, the change tag of the record that held it and the stamp of the local file that
// held it. A drawing that differs from it changed here; a record of another change tag
// and drawing changed elsewhere. Kept beside profiles.json, so that a restart or a kill
// forgets nothing but the syncs of its last moments, which then compare as drawings.
//
// The file is JSON, read and written on a queue of its own (it may hold tens of
// thousands of icons: never on the window's thread), written atomically when asked
// (after the transfers it stands for have worked); one that is missing, damaged or for
// another account is no base. Without a folder the base lives in memory only.
class IconSyncBase {
public:
    static inline const QString fileName = QStringLiteral("cloud_sync_icons.json");

    struct Entry {
        // The local file's name (the icon's record name and its extension).
        QString file;
        // SHA-256 of the drawing.
        QByteArray hash;
        QString changeTag;
        files::FileStamp stamp;
        bool operator==(const Entry&) const = default;
    };

    // `onWriteFailure` hears, on the main queue, why the base could not be written:
    // once, until it is written again.
    explicit IconSyncBase(const QString& folder, std::function<void(const QString&)> onWriteFailure = {});

    // The entries read from the file: await before the first use of the entries.
    QCoro::Task<> ready();

    // The account the entries are for; another one starts with no entries.
    void setAccount(const QString& account);
    std::optional<Entry> entry(const QString& recordName) const;
    void remember(const QString& recordName, Entry entry);
    // The record names of all entries, in plain order.
    QStringList recordNames() const;
    // Writes the entries when they changed since the last write.
    void write();

    static QByteArray hashOf(const QByteArray& drawing);
    static QByteArray encode(const QString& account, const QHash<QString, Entry>& entries);
    static std::optional<std::pair<QString, QHash<QString, Entry>>> decode(const QByteArray& bytes);

private:
    using Decoded = std::pair<QString, QHash<QString, Entry>>;
    // What the queue read: written there, taken by ready() once the queue has passed it.
    struct Read {
        std::optional<Decoded> decoded;
    };

    QString path_;
    bool ready_ = false;
    // An account set before the file was read: applied to what it held.
    std::optional<QString> pendingAccount_;
    QString account_;
    QHash<QString, Entry> entries_;
    bool dirty_ = false;
    QueuedFileWriter writer_;
    std::shared_ptr<Read> read_ = std::make_shared<Read>();
    // Gone with the base: a read that comes back later touches nothing.
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

} // namespace velmor
