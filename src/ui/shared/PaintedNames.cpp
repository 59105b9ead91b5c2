#include "ui/shared/PaintedNames.h"

#include "ui/shared/PlainText.h"

#include <QFontMetricsF>

namespace velmor {

size_t qHash(const PaintedNames::Key& key, size_t seed) noexcept
{
    return qHashMulti(seed, key.name, key.font, key.width);
}

QString PaintedNames::operator()(const QString& name, const QFont& font, qreal width)
{
    if (name.size() > longestRemembered)
        return plainText::paintedName(name, QFontMetricsF(font), width);
    Key key{name, font, width};
    if (const auto found = names_.constFind(key); found != names_.constEnd())
        return *found;
    if (names_.size() >= capacity_)
        names_.clear();
    const QString painted = plainText::paintedName(name, QFontMetricsF(font), width);
    names_.insert(std::move(key), painted);
    return painted;
}

} // namespace velmor
