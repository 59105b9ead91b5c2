#pragma once

#include "model/RadiologyTool.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace velmor {

// The tool list of one radiology program, with its default keypad lighting.
struct PacsProfile {
    QUuid id;
    QString name;
    QList<RadiologyTool> tools;
    // "#RRGGBB" as stored; not validated on reading.
    std::optional<QString> defaultLightingHex;

    bool operator==(const PacsProfile& other) const;

    QJsonObject toJson() const;
    static PacsProfile fromJson(const QJsonValue& value, const QString& path = {});
};

size_t qHash(const PacsProfile& profile, size_t seed = 0) noexcept;

} // namespace velmor
