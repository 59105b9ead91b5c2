#include "model/SpecialKey.h"

#include <QHashFunctions>

namespace velmor {

QString SpecialKey::keyText() const
{
    switch (kind_) {
    case Kind::arrowUp: return QStringLiteral("↑");
    case Kind::arrowDown: return QStringLiteral("↓");
    case Kind::arrowLeft: return QStringLiteral("←");
    case Kind::arrowRight: return QStringLiteral("→");
    case Kind::pageUp: return QStringLiteral("PageUp");
    case Kind::pageDown: return QStringLiteral("PageDown");
    case Kind::functionKey: return QStringLiteral("F") + QString::number(number_);
    case Kind::returnKey: return QStringLiteral("⏎");
    case Kind::space: return QStringLiteral("␣");
    case Kind::tab: return QStringLiteral("⇥");
    }
    return {};
}

size_t qHash(const SpecialKey& key, size_t seed) noexcept
{
    const auto place = static_cast<int>(key.kind());
    if (key.kind() == SpecialKey::Kind::functionKey)
        return qHashMulti(seed, place, static_cast<qint64>(key.functionNumber()));
    return qHashMulti(seed, place);
}

} // namespace velmor
