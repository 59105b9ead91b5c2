#pragma once

#include <QString>
#include <QUuid>

#include <functional>

namespace velmor {

// A failed import or export, asked as "Try Again" / "Dismiss".
struct ActionError {
    QUuid id = QUuid::createUuid();
    QString title;
    QString message;
    // The failure's own description.
    QString details;
    // What "Try Again" runs; none: it only closes.
    std::function<void()> retry;
};

} // namespace velmor
