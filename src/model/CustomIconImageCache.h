#pragma once

#include <QCache>
#include <QImage>
#include <QMutex>
#include <QString>

#include <optional>

namespace velmor {

// Decoded custom icons by file name, so that lists drawing the same icon many times
// decode it once. Safe to use from any thread. Holds only successful loads and drops
// the least recently used images beyond its byte budget, so a miss must always be able
// to reload from disk. Whoever changes an icon file empties it.
class CustomIconImageCache {
public:
    explicit CustomIconImageCache(qsizetype maxBytes = 32 * 1024 * 1024);
    CustomIconImageCache(const CustomIconImageCache&) = delete;
    CustomIconImageCache& operator=(const CustomIconImageCache&) = delete;

    std::optional<QImage> image(const QString& fileName) const;

    // Taken before a load starts and handed back to insert(): an image loaded before the
    // latest removeAll() may show a file that has since changed, so it is not stored.
    quint64 generation() const;
    void insert(const QString& fileName, const QImage& image, quint64 loadedAtGeneration);

    void removeAll();
    qsizetype count() const;

private:
    mutable QMutex mutex_;
    QCache<QString, QImage> images_;
    quint64 generation_ = 0;
};

} // namespace velmor
