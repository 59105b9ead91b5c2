#include "model/CustomIconImageCache.h"

#include <QMutexLocker>

#include <algorithm>

namespace velmor {

CustomIconImageCache::CustomIconImageCache(qsizetype maxBytes) : images_(maxBytes) {}

std::optional<QImage> CustomIconImageCache::image(const QString& fileName) const
{
    const QMutexLocker lock(&mutex_);
    if (const QImage* found = images_.object(fileName))
        return *found;
    return std::nullopt;
}

quint64 CustomIconImageCache::generation() const
{
    const QMutexLocker lock(&mutex_);
    return generation_;
}

void CustomIconImageCache::insert(const QString& fileName, const QImage& image, quint64 loadedAtGeneration)
{
    if (image.isNull())
        return;
    const QMutexLocker lock(&mutex_);
    if (loadedAtGeneration != generation_)
        return;
    // The cache owns the copy (and deletes it at once when it is over budget on its own).
    images_.insert(fileName, new QImage(image), std::max<qsizetype>(image.sizeInBytes(), 1));
}

void CustomIconImageCache::removeAll()
{
    const QMutexLocker lock(&mutex_);
    images_.clear();
    ++generation_;
}

qsizetype CustomIconImageCache::count() const
{
    const QMutexLocker lock(&mutex_);
    return images_.count();
}

} // namespace velmor
