#include "platform/LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "platform/ProcessWide.h"

namespace velmor {

namespace {
// Desktop entry values escape backslashes; the Exec key also needs quoting for spaces.
QString quotedExec(const QString& path)
{
    QString escaped = path;
    escaped.replace('\\', "\\\\\\\\").replace('"', "\\\\\"").replace('`', "\\\\`").replace('$', "\\\\$");
    return '"' + escaped + '"';
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
    // A desktop that hides or disables the entry has the user's say.
    const QByteArray content = file.readAll();
    if (content.contains("\nHidden=true") || content.contains("\nX-GNOME-Autostart-enabled=false"))
        return Status::RequiresApproval;
    return Status::Enabled;
}

bool XdgAutostartLoginItem::registerItem()
{
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
    if (registerFails_)
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
