#include "platform/DesktopEntry.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace velmor::desktopentry {

namespace {

std::optional<bool> boolean(const QByteArray& text)
{
    if (text == "true" || text == "1")
        return true;
    if (text == "false" || text == "0")
        return false;
    return std::nullopt;
}

// The string value's escapes undone: \s \n \t \r \\; any other pair stays as it is.
QString unescaped(const QString& value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            text += u' ';
        else if (next == u'n')
            text += u'\n';
        else if (next == u't')
            text += u'\t';
        else if (next == u'r')
            text += u'\r';
        else if (next == u'\\')
            text += u'\\';
        else
            text += QStringLiteral("\\") + next;
    }
    return text;
}

// The arguments of an unescaped Exec value.
std::optional<QStringList> arguments(const QString& line)
{
    QStringList list;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < line.size() && QStringLiteral("\"`$\\").contains(line[i + 1])) {
                current += line[++i];
            } else if (c == u'%' && i + 1 < line.size()) {
                if (line[++i] == u'%')
                    current += u'%';
            } else {
                current += c;
            }
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inArgument)
                list.append(std::exchange(current, {}));
            inArgument = false;
        } else if (c == u'"') {
            quoted = inArgument = true;
        } else if (c == u'%' && i + 1 < line.size()) {
            inArgument = true;
            if (line[++i] == u'%')
                current += u'%';
        } else {
            inArgument = true;
            current += c;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inArgument)
        list.append(current);
    return list;
}

} // namespace

QString execValue(const QString& program)
{
    QString argument = program;
    argument.replace('\\', "\\\\").replace('"', "\\\"").replace('`', "\\`").replace('$', "\\$");
    argument = '"' + argument + '"';
    argument.replace('\\', "\\\\").replace('\n', "\\n").replace('\t', "\\t").replace('\r', "\\r").replace('%', "%%");
    return program.contains(u'%') ? QStringLiteral("env ") + argument : argument;
}

std::optional<QStringList> execArguments(const QString& value) { return arguments(unescaped(value)); }

std::optional<QString> execProgram(const QString& value)
{
    const std::optional<QStringList> list = execArguments(value);
    if (!list)
        return std::nullopt;
    qsizetype first = 0;
    if (!list->isEmpty() && list->first() == QStringLiteral("env")) {
        first = 1;
        while (first < list->size() && list->at(first).contains(u'=') && !list->at(first).startsWith(u'/'))
            ++first;
    }
    if (first >= list->size() || list->at(first).isEmpty())
        return std::nullopt;
    return list->at(first);
}

std::optional<QByteArray> value(const QByteArray& entry, const QByteArray& key)
{
    bool inEntry = false;
    std::optional<QByteArray> found;
    for (const QByteArray& raw : entry.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (inEntry && !line.startsWith('#') && equals > 0 && line.left(equals).trimmed() == key)
            found = line.mid(equals + 1).trimmed();
    }
    return found;
}

bool switchedOff(const QByteArray& entry)
{
    const std::optional<QByteArray> hidden = value(entry, "Hidden");
    const std::optional<QByteArray> enabled = value(entry, "X-GNOME-Autostart-enabled");
    return (hidden && boolean(*hidden).value_or(false)) || (enabled && !boolean(*enabled).value_or(false));
}

bool runnable(const QString& program)
{
    const QString path = program.contains(u'/') ? program : QStandardPaths::findExecutable(program);
    const QFileInfo info(path);
    return !path.isEmpty() && info.isFile() && info.isExecutable();
}

} // namespace velmor::desktopentry
