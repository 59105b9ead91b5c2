// Layout overrides: the button rectangles that differ from the device templates.
#include "core/AppModel.h"

#include "core/LayoutOverridesFile.h"
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

std::optional<NormalizedRect> AppModel::overlayFrame(const DeviceButton& button, const QString& deviceId) const
{
    const LayoutOverrides& overrides = overlayOverrides_.get();
    if (const auto device = overrides.constFind(deviceId); device != overrides.constEnd())
        if (const auto rect = device->constFind(button.id); rect != device->constEnd())
            return *rect;
    return button.overlayFrame;
}

void AppModel::setOverlayFrame(const NormalizedRect& rect, const QString& buttonId, const QString& deviceId)
{
    // A rectangle the file cannot hold would block every later save.
    if (!isFinite(rect))
        return;
    overlayOverrides_.mutate([&](LayoutOverrides& overrides) { overrides[deviceId][buttonId] = rect; });
    saveLayoutOverrides();
}

void AppModel::resetLayout(const QString& deviceId)
{
    overlayOverrides_.mutate([&](LayoutOverrides& overrides) { overrides.remove(deviceId); });
    if (const std::optional<QString> url = Bundle::main().url(deviceId + QStringLiteral("_layout"), QStringLiteral("json")))
        importLayout(*url);
    saveLayoutOverrides();
}

void AppModel::importLayout(const QString& path)
{
    LayoutImport layout;
    try {
        layout = readLayoutImport(path);
    } catch (const std::exception& error) {
        appendLog(QStringLiteral("Failed to import layout: ") + QString::fromUtf8(error.what()));
        return;
    }
    QHash<QString, NormalizedRect> rects;
    for (const LayoutImport::LayoutButton& button : layout.buttons)
        rects.insert(button.id, NormalizedRect{button.x, button.y, button.width, button.height});
    overlayOverrides_.mutate([&](LayoutOverrides& overrides) { overrides.insert(layout.deviceId, rects); });
    appendLog(QStringLiteral("Imported layout for ") + layout.deviceId + QStringLiteral(" from ")
              + QFileInfo(path).fileName());
}

void AppModel::importLayoutsFromBundle()
{
    for (const QString& name : bundledLayouts)
        if (const std::optional<QString> url = Bundle::main().url(name, QStringLiteral("json")))
            importLayout(*url);
}

void AppModel::loadLayoutOverrides()
{
    const std::optional<LayoutOverrides> saved =
        layoutOverridesFile_.load(&LayoutOverridesFile::decode, [this](const QString& line) { appendLog(line); });
    if (!saved || saved->isEmpty())
        return;
    // A saved device replaces the bundle's whole layout of that device.
    overlayOverrides_.mutate([&](LayoutOverrides& overrides) {
        for (auto device = saved->cbegin(); device != saved->cend(); ++device)
            overrides.insert(device.key(), device.value());
    });
}

void AppModel::saveLayoutOverrides()
{
    const auto log = [this](const QString& line) { appendLog(line); };
    QByteArray bytes;
    try {
        bytes = LayoutOverridesFile::encode(overlayOverrides_.get());
    } catch (const std::exception& error) {
        log(QStringLiteral("Failed to save ") + layoutOverridesFile_.fileName() + QStringLiteral(": ")
            + QString::fromUtf8(error.what()));
        return;
    }
    layoutOverridesFile_.save(bytes, log);
}

} // namespace velmor
