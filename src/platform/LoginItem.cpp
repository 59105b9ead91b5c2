#include "platform/LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSysInfo>

#include <optional>

#include "platform/DesktopEntry.h"
#include "platform/ProcessWide.h"
#include "platform/Settings.h"

namespace velmor {

namespace {

QByteArray entryText(const QString& program)
{
    return QStringLiteral("[Desktop Entry]\nType=Application\nName=Velmor\nExec=%1\n"
                          "Terminal=false\nX-GNOME-Autostart-enabled=true\n")
        .arg(desktopentry::execValue(program))
        .toUtf8();
}

std::optional<QString> namedProgram(const QByteArray& entry)
{
    const std::optional<QByteArray> exec = desktopentry::value(entry, "Exec");
    return exec ? desktopentry::execProgram(QString::fromUtf8(*exec)) : std::nullopt;
}

// The settings remember the machine, so a user whose settings moved to a new machine
// gets an entry there.
QString thisMachine()
{
    const QByteArray id = QSysInfo::machineUniqueId();
    return id.isEmpty() ? QStringLiteral("this machine") : QString::fromLatin1(id);
}

bool remembered()
{
    return Settings::instance().value(XdgAutostartLoginItem::rememberedKey).toString() == thisMachine();
}

void remember()
{
    if (!remembered())
        Settings::instance().setValue(XdgAutostartLoginItem::rememberedKey, thisMachine());
}

} // namespace

LoginItem& LoginItem::instance() { return ProcessWide<LoginItem>::get<XdgAutostartLoginItem>(); }

void LoginItem::setInstance(LoginItem* item) { ProcessWide<LoginItem>::install(item); }

const QString XdgAutostartLoginItem::rememberedKey = QStringLiteral("Velmor.autostartRegistered");

XdgAutostartLoginItem::XdgAutostartLoginItem(QString configHome, QString executable, QString dataHome)
    : configHome_(std::move(configHome)), executable_(std::move(executable)), dataHome_(std::move(dataHome))
{
}

QString XdgAutostartLoginItem::entryPath() const
{
    const QString home = configHome_.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                             : configHome_;
    return home + QStringLiteral("/autostart/velmor.desktop");
}

std::optional<QString> XdgAutostartLoginItem::installedProgram() const
{
    const QString home =
        dataHome_.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) : dataHome_;
    QFile menuEntry(home + QStringLiteral("/applications/velmor.desktop"));
    if (!menuEntry.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<QString> named = namedProgram(menuEntry.read(64 * 1024));
    if (!named || !named->startsWith(u'/') || !desktopentry::runnable(*named))
        return std::nullopt;
    return named;
}

QString XdgAutostartLoginItem::program() const
{
    if (std::optional<QString> installed = installedProgram())
        return *installed;
    return executable_.isEmpty() ? QCoreApplication::applicationFilePath() : executable_;
}

LoginItem::Status XdgAutostartLoginItem::status() const
{
    QFile file(entryPath());
    if (!file.exists())
        return remembered() ? Status::RequiresApproval : Status::NotRegistered;
    if (!file.open(QIODevice::ReadOnly))
        return Status::RequiresApproval; // not ours to replace
    const QByteArray entry = file.read(64 * 1024);
    if (!desktopentry::switchedOff(entry)) {
        const std::optional<QString> named = namedProgram(entry);
        if (named && !desktopentry::runnable(*named))
            return Status::NotRegistered;
        const std::optional<QString> installed = installedProgram();
        if (named && installed && *named != *installed && entry == entryText(*named))
            return Status::NotRegistered;
    }
    // Seen here: once the user removes it, it stays removed.
    remember();
    return desktopentry::switchedOff(entry) ? Status::RequiresApproval : Status::Enabled;
}

bool XdgAutostartLoginItem::registerItem()
{
    const Status current = status();
    if (current != Status::NotRegistered)
        return current == Status::Enabled;
    const QString path = entryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const QString named = program();
    if (named.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(entryText(named));
    if (!file.commit())
        return false;
    remember();
    return true;
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
