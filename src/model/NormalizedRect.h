#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace velmor {

// A button's place on a device's layout canvas, in fractions of the canvas:
// (x, y) is the top-left corner, measured from the canvas's top-left corner.
// Nothing clamps or checks the values.
struct NormalizedRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    // Numeric comparison: 0.0 equals -0.0, a NaN equals nothing.
    bool operator==(const NormalizedRect&) const = default;

    // Throws std::invalid_argument when a component is not finite: JSON has no
    // form for it, and writing null would make the file unreadable.
    QJsonObject toJson() const;
    static NormalizedRect fromJson(const QJsonValue& value, const QString& path = {});
};

size_t qHash(const NormalizedRect& rect, size_t seed = 0) noexcept;

} // namespace velmor
