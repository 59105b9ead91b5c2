#pragma once

#include "platform/ProcessWide.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>

namespace velmor {

// User defaults: small values that outlive the process.
class Settings {
public:
    virtual ~Settings() = default;
    virtual QVariant value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;

    // The process-wide settings: QSettings unless a test installed another.
    static Settings& instance();
    static void setInstance(Settings* settings);
};

// Backed by QSettings (an INI file under the user's config folder).
class QtSettings final : public Settings {
public:
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;
};

class InMemorySettings final : public Settings {
public:
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;

private:
    mutable std::mutex mutex_;
    QHash<QString, QVariant> values_;
};

using ScopedInMemorySettings = ScopedInstance<Settings, InMemorySettings>;

} // namespace velmor
