#pragma once

#include "model/IconRenderer.h"
#include "platform/CacheFolder.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

#include <functional>
#include <optional>

namespace velmor {

// The outcomes of drawn icon documents on disk, one file per document and size, named by
// its key (iconRenderKey): a PNG for an image, the outcome's word and the drawing
// program's identity for a failure, so that another program draws it again. Capped in
// entries and bytes; the oldest entries are dropped first. It touches nothing in its
// folder but files named as its entries (and their temporary files), and uses the folder
// only as CacheFolder allows and while every entry there is the user's (else it keeps
// nothing for the run, and tells why once). An entry is untrusted: it is taken only as
// iconentryimage allows. The folder is opened (or made) at once, but looked through,
// swept and trimmed on first use, so the owner decides the thread of everything that
// reads or writes files. Safe on any thread.
class IconRenderCache {
public:
    struct Limits {
        int maxEntries = 2000;
        qint64 maxBytes = 32 * 1024 * 1024;
    };

    // Why the folder is not used, on the thread that first used the cache.
    using Unused = std::function<void(const QString& why)>;

    // Opens (or creates) the folder. `program`: what identifies the drawing program (see
    // IconRenderService), kept with each failure. `unused` learns once why the folder is
    // not used, when it is not.
    IconRenderCache(QString directory, Limits limits, QByteArray program = {}, Unused unused = {});
    IconRenderCache(const IconRenderCache&) = delete;
    IconRenderCache& operator=(const IconRenderCache&) = delete;

    // iconRenderKey.
    static QString key(const QByteArray& document, int side) { return iconRenderKey(document, side); }

    // None for an entry that is missing, damaged, not a regular file, an image whose size
    // is not the key's side, or a failure of another drawing program.
    std::optional<IconRenderResult> find(const QString& key);
    // Keeps what is remembered about a document (drawn, refused, overran, crashed).
    void store(const QString& key, const IconRenderResult& result);

    const QString& directory() const { return directory_; }

private:
    struct Entry {
        qint64 bytes = 0;
        qint64 writtenMs = 0;
    };
    // With the mutex held: the folder, once looked through, swept and trimmed; none when
    // it is not used.
    const CacheFolder* folder();
    void trim();

    const QString directory_;
    const Limits limits_;
    const QByteArray program_;
    const Unused unused_;
    const CacheFolder folder_;
    QMutex mutex_;
    std::optional<bool> usable_;
    QHash<QString, Entry> index_;
    qint64 bytes_ = 0;
    // The latest write's stamp: entries written within one millisecond still keep their order.
    qint64 latestMs_ = 0;
};

// "Velmor/IconRenders" under the XDG cache home.
QString defaultIconRenderCacheDirectory();

} // namespace velmor
