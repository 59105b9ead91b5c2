#pragma once

#include <QString>
#include <QStringList>

// Copies of profiles.json kept aside whose notice has not reached the user yet: one
// kept by the save at quit, or by a process that ended before its notice was shown.
// They are remembered in the settings, so that the next start tells them. Safe to
// use from any thread.
namespace velmor::untoldKeptFiles {

void add(const QString& path);
void told(const QString& path);
// Those in `folder` that are still there; every one of `folder` is forgotten.
QStringList take(const QString& folder);

} // namespace velmor::untoldKeptFiles
