#pragma once

#include "platform/Json.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// A large document can be parsed a part at a time. These split the text of an
// object or an array (after an optional byte-order mark) into the texts of its
// members or elements, which are views of the bytes of `text`: `text` must
// outlive them. Only the structure of that one level is checked here; each part
// is checked when it is parsed. None when the text is not one well-formed object
// or array at that level.
namespace velmor::json {

struct Member {
    QString key;
    QByteArray value;
};

std::optional<QList<Member>> splitObject(const QByteArray& text);
std::optional<QList<QByteArray>> splitArray(const QByteArray& text);
// The views would outlive a temporary text.
void splitObject(QByteArray&&) = delete;
void splitArray(QByteArray&&) = delete;

} // namespace velmor::json
