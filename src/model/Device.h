#pragma once

#include "model/DeviceButton.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

namespace velmor {

// One device template: the device as the rest of the system sees it, with its
// controls in the order the views number them.
struct Device {
    QString id;
    QString name;
    // Free text naming the device family ("keypad", "mouse", "dictation").
    QString type;
    std::optional<QString> imageFilename;
    QList<DeviceButton> buttons;

    // Every field, texts exactly, buttons in order.
    bool operator==(const Device&) const = default;

    // Throws std::invalid_argument when a button frame has a non-finite component.
    QJsonObject toJson() const;
    static Device fromJson(const QJsonValue& value, const QString& path = {});

    // The built-in templates, each built once on first use and shared unchanged.
    // Their template ids and button ids are what stored mappings, default
    // mappings, HID tables and layout files refer to.
    static const Device& tartarusTemplate();
    static const Device& mouseTemplate();
    static const Device& speechMikeTemplate();

    // Every template the input sources know, in the order keypad, mouse, SpeechMike.
    static QList<Device> allTemplates();
    // The templates offered for choosing a device: allTemplates() without the
    // hidden ones (the mouse), built afresh on each call.
    static QList<Device> builtInTemplates();
};

size_t qHash(const Device& device, size_t seed = 0) noexcept;

} // namespace velmor
