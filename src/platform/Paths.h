#pragma once

#include <QString>

namespace velmor::paths {

// The application's data folder ("Velmor" under the XDG data home), created
// when missing. Returns the path even when it could not be created.
QString applicationSupport();

// Points applicationSupport() at another folder (tests); an empty path restores the default.
void setApplicationSupportOverride(const QString& path);

} // namespace velmor::paths
