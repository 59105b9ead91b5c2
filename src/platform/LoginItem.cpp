#include "platform/LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <optional>

#include "platform/ProcessWide.h"

namespace velmor {

namespace {
// An Exec argument: quoted, with the quoting's and the string value's escapes
// applied in that order, and '%' doubled so it is no field code.
QString quotedExec(const QString& path)
{
    QString argument = path;
    argument.replace('\\', "\\\\").replace('"', "\\\"").replace('`', "\\`").replace('$', "\\$");
    argument = '"' + argument + '"';
    return argument.replace('\\', "\\\\").replace('\n', "\\n").replace('\t', "\\t").replace('\r', "\\r")
        .replace('%', "%%");
}

// A desktop entry boolean as the desktops read it; nullopt for anything else.
std::optional<bool> boolean(const QByteArray& value)
{
    if (value == "true" || value == "1")
        return true;
    if (value == "false" || value == "0")
        return false;
    return std::nullopt;
}

// The user switched the entry off in the desktop's start-up settings: Hidden
// true or X-GNOME-Autostart-enabled false in its [Desktop Entry] group (the
// last line of a key counts).
bool switchedOff(const QByteArray& entry)
{
    bool inEntry = false;
    bool hidden = false;
    bool enabled = true;
    for (const QByteArray& raw : entry.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inEntry || line.startsWith('#') || equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const std::optional<bool> value = boolean(line.mid(equals + 1).trimmed());
        if (key == "Hidden")
            hidden = value.value_or(false);
        else if (key == "X-GNOME-Autostart-enabled")
            enabled = value.value_or(false); // as GNOME reads it: present and not true is off
    }
    return hidden || !enabled;
}
} // namespace

LoginItem& LoginItem::instance() { return ProcessWide<LoginItem>::get<XdgAutostartLoginItem>(); }

void LoginItem::setInstance(LoginItem* item) { ProcessWide<LoginItem>::install(item); }

XdgAutostartLoginItem::XdgAutostartLoginItem(QString configHome, QString executable)
    : configHome_(std::move(configHome)), executable_(std::move(executable))
{
}

QString XdgAutostartLoginItem::entryPath() const
{
    const QString home = configHome_.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                             : configHome_;
    return home + QStringLiteral("/autostart/velmor.desktop");
}

LoginItem::Status XdgAutostartLoginItem::status() const
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return Status::NotRegistered;
    return switchedOff(file.readAll()) ? Status::RequiresApproval : Status::Enabled;
}

bool XdgAutostartLoginItem::registerItem()
{
    // An entry the user switched off waits for them to switch it on again.
    if (status() == Status::RequiresApproval)
        return false;
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const QString executable = executable_.isEmpty() ? QCoreApplication::applicationFilePath() : executable_;
    if (executable.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Velmor\nExec=%1\n"
                                         "Terminal=false\nX-GNOME-Autostart-enabled=true\n")
                              .arg(quotedExec(executable));
    file.write(entry.toUtf8());
    return file.commit();
}

LoginItem::Status InMemoryLoginItem::status() const
{
    const std::lock_guard lock(mutex_);
    return status_;
}

bool InMemoryLoginItem::registerItem()
{
    const std::lock_guard lock(mutex_);
    ++registerCalls_;
    if (registerFails_ || status_ == Status::RequiresApproval)
        return false;
    status_ = Status::Enabled;
    return true;
}

void InMemoryLoginItem::setStatus(Status status)
{
    const std::lock_guard lock(mutex_);
    status_ = status;
}

void InMemoryLoginItem::setRegisterFails(bool fails)
{
    const std::lock_guard lock(mutex_);
    registerFails_ = fails;
}

int InMemoryLoginItem::registerCalls() const
{
    const std::lock_guard lock(mutex_);
    return registerCalls_;
}

} // namespace velmor
