#pragma once

#include <QString>
#include <QStringList>

// The words the profile sync tells the user in.
namespace velmor::synctext {

inline const QString syncTitle = QStringLiteral("Cloud Sync");
inline const QString errorTitle = QStringLiteral("Cloud Sync Error");
inline const QString warningTitle = QStringLiteral("Cloud Sync Warning");

// “a”, “b”, “c”; past ten names, the first ten and “and N more”, so that a notice
// about thousands of files stays readable (the folder it names holds them all).
QString quotedList(const QStringList& names);

} // namespace velmor::synctext
