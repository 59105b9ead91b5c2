#include "platform/Settings.h"

#include <QSettings>

#include <atomic>

namespace velmor {

namespace {
std::atomic<Settings*> installed{nullptr};

QSettings openSettings() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "Velmor", "Velmor"); }
} // namespace

Settings& Settings::instance()
{
    if (Settings* settings = installed.load())
        return *settings;
    static QtSettings qtSettings;
    return qtSettings;
}

void Settings::setInstance(Settings* settings) { installed.store(settings); }

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
