#pragma once

#include "model/IconRenderer.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

#include <optional>

namespace velmor {

// The outcomes of drawn icon documents on disk, one file per document and size, named by
// the document's SHA-256: a PNG for an image, the outcome's word for a failure. Capped
// in entries and bytes; the oldest entries are dropped first. Safe on any thread.
class IconRenderCache {
public:
    struct Limits {
        int maxEntries = 2000;
        qint64 maxBytes = 32 * 1024 * 1024;
    };

    IconRenderCache(QString directory, Limits limits);
    IconRenderCache(const IconRenderCache&) = delete;
    IconRenderCache& operator=(const IconRenderCache&) = delete;

    // "‹sha-256 in hex›-‹side›".
    static QString key(const QByteArray& document, int side);

    std::optional<IconRenderResult> find(const QString& key) const;
    // Keeps what is remembered about a document (drawn, refused, overran, crashed).
    void store(const QString& key, const IconRenderResult& result);

    const QString& directory() const { return directory_; }

private:
    struct Entry {
        qint64 bytes = 0;
        qint64 writtenMs = 0;
    };
    void loadIndex();
    void trim();

    QString directory_;
    Limits limits_;
    mutable QMutex mutex_;
    bool indexed_ = false;
    QHash<QString, Entry> index_;
    qint64 bytes_ = 0;
    // The latest write's stamp: entries written within one millisecond still keep their order.
    qint64 latestMs_ = 0;
};

// "Velmor/IconRenders" under the XDG cache home.
QString defaultIconRenderCacheDirectory();

} // namespace velmor
