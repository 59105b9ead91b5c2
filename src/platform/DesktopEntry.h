#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmor::desktopentry {

// The value of an Exec key that runs `program` with no arguments: the path in double
// quotes with the quoting's escapes, then the string value's, and "%" doubled so it is
// no field code. GLib looks for the program under the text before "%%" is read back, so a
// path holding "%" is handed to `env`, which GLib finds.
QString execValue(const QString& program);

// The arguments of an Exec value, read as a launcher reads them (string escapes,
// quoting, "%%"; other field codes stand for nothing). Nullopt for an unclosed quote.
std::optional<QStringList> execArguments(const QString& value);

// The program an Exec value runs, read back as a launcher reads it (string escapes,
// quoting, "%%"); a leading `env` and its NAME=VALUE arguments are passed over. Nullopt
// when the value cannot be read.
std::optional<QString> execProgram(const QString& value);

// The last value of `key` in the entry's [Desktop Entry] group, trimmed; nullopt when
// the group has no such key.
std::optional<QByteArray> value(const QByteArray& entry, const QByteArray& key);

// The desktop's switch is off: Hidden true, or X-GNOME-Autostart-enabled present and not
// true, as GNOME reads it.
bool switchedOff(const QByteArray& entry);

// `program` names a regular file this user can run: a path, or a name found on PATH.
bool runnable(const QString& program);

} // namespace velmor::desktopentry
