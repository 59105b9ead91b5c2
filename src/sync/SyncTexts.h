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
// The files kept in a folder as quotedList names them; past ten, the notice says that
// the log names each, and keptFileLines gives those lines.
QString quotedKeptList(const QStringList& files);
// "Kept in “folder”: “file”" for each file, when quotedList does not name them all; else none.
QStringList keptFileLines(const QString& folder, const QStringList& files);

} // namespace velmor::synctext
