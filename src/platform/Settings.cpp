#include "platform/Settings.h"

#include <QSettings>

#include "platform/ProcessWide.h"

namespace velmor {

namespace {
QSettings openSettings() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "Velmor", "Velmor"); }
} // namespace

Settings& Settings::instance() { return ProcessWide<Settings>::get<QtSettings>(); }

void Settings::setInstance(Settings* settings) { ProcessWide<Settings>::install(settings); }

QVariant QtSettings::value(const QString& key) const { return openSettings().value(key); }

void QtSettings::setValue(const QString& key, const QVariant& value)
{
    auto settings = openSettings();
    settings.setValue(key, value);
    settings.sync();
}

void QtSettings::remove(const QString& key)
{
    auto settings = openSettings();
    settings.remove(key);
    settings.sync();
}

QVariant InMemorySettings::value(const QString& key) const
{
    const std::lock_guard lock(mutex_);
    return values_.value(key);
}

void InMemorySettings::setValue(const QString& key, const QVariant& value)
{
    const std::lock_guard lock(mutex_);
    values_.insert(key, value);
}

void InMemorySettings::remove(const QString& key)
{
    const std::lock_guard lock(mutex_);
    values_.remove(key);
}

} // namespace velmor
