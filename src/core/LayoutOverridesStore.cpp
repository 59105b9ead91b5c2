#include "core/LayoutOverridesStore.h"

#include "core/LayoutOverridesFile.h"
#include "model/DeviceButton.h"
#include "model/LayoutImport.h"
#include "platform/Bundle.h"
#include "platform/Json.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <stdexcept>

namespace velmor {

namespace {
const QStringList bundledLayouts{QStringLiteral("tartarus_v2_layout"), QStringLiteral("speechmike_smp3700_layout")};

bool isFinite(const NormalizedRect& rect)
{
    return std::isfinite(rect.x) && std::isfinite(rect.y) && std::isfinite(rect.width) && std::isfinite(rect.height);
}

LayoutImport readLayoutImport(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(file.errorString().toStdString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error(file.errorString().toStdString());
    return LayoutImport::fromJson(json::parse(bytes));
}
} // namespace

LayoutOverridesStore::LayoutOverridesStore(Log log) : log_(std::move(log)) {}

std::optional<NormalizedRect> LayoutOverridesStore::overlayFrame(const DeviceButton& button, const QString& deviceId) const
{
    const LayoutOverrides& overrides = overrides_.get();
    if (const auto device = overrides.constFind(deviceId); device != overrides.constEnd())
        if (const auto rect = device->constFind(button.id); rect != device->constEnd())
            return *rect;
    return button.overlayFrame;
}

void LayoutOverridesStore::setOverlayFrame(const NormalizedRect& rect, const QString& buttonId, const QString& deviceId)
{
    // A rectangle the file cannot hold would block every later save.
    if (!isFinite(rect))
        return;
    overrides_.mutate([&](LayoutOverrides& overrides) { overrides[deviceId][buttonId] = rect; });
    save();
}

void LayoutOverridesStore::resetLayout(const QString& deviceId)
{
    overrides_.mutate([&](LayoutOverrides& overrides) { overrides.remove(deviceId); });
    if (const std::optional<QString> url = Bundle::main().url(deviceId + QStringLiteral("_layout"), QStringLiteral("json")))
        importLayout(*url);
    save();
}

void LayoutOverridesStore::importLayout(const QString& path)
{
    LayoutImport layout;
    try {
        layout = readLayoutImport(path);
    } catch (const std::exception& error) {
        log_(QStringLiteral("Failed to import layout: ") + QString::fromUtf8(error.what()));
        return;
    }
    QHash<QString, NormalizedRect> rects;
    for (const LayoutImport::LayoutButton& button : layout.buttons)
        rects.insert(button.id, NormalizedRect{button.x, button.y, button.width, button.height});
    overrides_.mutate([&](LayoutOverrides& overrides) { overrides.insert(layout.deviceId, rects); });
    log_(QStringLiteral("Imported layout for ") + layout.deviceId + QStringLiteral(" from ")
              + QFileInfo(path).fileName());
}

void LayoutOverridesStore::importLayoutsFromBundle()
{
    for (const QString& name : bundledLayouts)
        if (const std::optional<QString> url = Bundle::main().url(name, QStringLiteral("json")))
            importLayout(*url);
}

void LayoutOverridesStore::load()
{
    const std::optional<LayoutOverrides> saved =
        file_.load(&LayoutOverridesFile::decode, log_);
    if (!saved || saved->isEmpty())
        return;
    // A saved device replaces the bundle's whole layout of that device.
    overrides_.mutate([&](LayoutOverrides& overrides) {
        for (auto device = saved->cbegin(); device != saved->cend(); ++device)
            overrides.insert(device.key(), device.value());
    });
}

void LayoutOverridesStore::save()
{
    QByteArray bytes;
    try {
        bytes = LayoutOverridesFile::encode(overrides_.get());
    } catch (const std::exception& error) {
        log_(QStringLiteral("Failed to save ") + file_.fileName() + QStringLiteral(": ")
            + QString::fromUtf8(error.what()));
        return;
    }
    file_.save(bytes, log_);
}

} // namespace velmor
