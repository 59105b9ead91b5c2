#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

namespace velmor {

// A layout file: for one device, a rectangle per button id, in the fractions of
// NormalizedRect. Neither the device id nor the button ids nor the ranges are
// checked here; whoever imports the file decides what to do with them.
struct LayoutImport {
    struct LayoutButton {
        QString id;
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;

        // Throws std::invalid_argument when a number is not finite.
        QJsonObject toJson() const;
        static LayoutButton fromJson(const QJsonValue& value, const QString& path = {});
    };

    QString deviceId;
    QList<LayoutButton> buttons;

    QJsonObject toJson() const;
    // Fails as a whole (json::DecodeError) on any missing, null or mistyped key.
    static LayoutImport fromJson(const QJsonValue& value, const QString& path = {});
};

} // namespace velmor
