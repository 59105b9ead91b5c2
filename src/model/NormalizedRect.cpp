#include "model/NormalizedRect.h"

#include "platform/Json.h"

#include <QHashFunctions>

#include <cmath>
#include <stdexcept>

namespace velmor {

namespace {
QJsonValue finite(double value, const char* key)
{
    if (!std::isfinite(value))
        throw std::invalid_argument(std::string("rectangle component \"") + key + "\" is not a finite number");
    return value;
}

// Equal values must hash alike, and -0.0 == 0.0.
double hashable(double value) { return value == 0.0 ? 0.0 : value; }
} // namespace

QJsonObject NormalizedRect::toJson() const
{
    return json::ObjectWriter()
        .set("x", finite(x, "x"))
        .set("y", finite(y, "y"))
        .set("width", finite(width, "width"))
        .set("height", finite(height, "height"))
        .take();
}

NormalizedRect NormalizedRect::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    return NormalizedRect{reader.number("x"), reader.number("y"), reader.number("width"), reader.number("height")};
}

size_t qHash(const NormalizedRect& rect, size_t seed) noexcept
{
    return qHashMulti(seed, hashable(rect.x), hashable(rect.y), hashable(rect.width), hashable(rect.height));
}

} // namespace velmor
