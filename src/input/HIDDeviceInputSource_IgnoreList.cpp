// The device ignore list: pairs left free for other applications.
#include "input/HIDDeviceInputSource.h"

#include "input/IgnoreListStorage.h"
#include "input/LogFormat.h"
#include "platform/MainQueue.h"

#include <algorithm>

namespace velmor {

void HIDDeviceInputSource::loadIgnoreList(bool isFreshInstall)
{
    if (std::optional<QSet<VendorProduct>> stored = IgnoreListStorage::load()) {
        const std::lock_guard lock(ignoreListLock_);
        ignoreList_ = std::move(*stored);
        return;
    }
    // Nothing stored yet. A fresh installation starts with the SpeechMike left
    // to its own software; a later start never seeds again, because the list
    // is stored right now, empty or not.
    QSet<VendorProduct> seeded;
    if (isFreshInstall) {
        for (const auto& [pair, templateId] : deviceMap())
            if (pair.vendor != razerVendorId)
                seeded.insert(pair);
    }
    {
        const std::lock_guard lock(ignoreListLock_);
        ignoreList_ = seeded;
    }
    IgnoreListStorage::save(seeded.values());
}

void HIDDeviceInputSource::disableControl(std::int64_t vendorId, std::int64_t productId)
{
    post(*deviceQueue_, [pair = VendorProduct{vendorId, productId}](HIDDeviceInputSource& self) {
        QList<VendorProduct> list;
        {
            const std::lock_guard lock(self.ignoreListLock_);
            if (self.ignoreList_.contains(pair))
                return;
            self.ignoreList_.insert(pair);
            list = self.ignoreList_.values();
        }
        IgnoreListStorage::save(list);

        for (const auto& [id, attached] : self.attachedDevices_) {
            if (attached.key != pair)
                continue;
            self.releasePressedButtons(attached.templateId);
            if (self.seizedDevices_.remove(id))
                attached.device->close(hid::OpenOptions::seize);
            self.forgetTartarusDevice(id, pair);
            self.forgetSpeechMikeDevice(id, pair);
        }
        postToMain([source = self.shared_from_this(), pair] { source->setConnectedDevicesIgnored(true, pair); });
        // Hands control on when the released pair had it (decided on the main
        // queue, after the publishing of devices that arrived before this call).
        self.selectFallbackDevice(pair);
        self.log(QStringLiteral("Velmor control disabled for vid ") + logformat::id(pair.vendor)
                 + QStringLiteral(" pid ") + logformat::id(pair.product)
                 + QStringLiteral("; device released for other apps."));
    });
}

void HIDDeviceInputSource::enableControl(std::int64_t vendorId, std::int64_t productId)
{
    post(*deviceQueue_, [pair = VendorProduct{vendorId, productId}](HIDDeviceInputSource& self) {
        QList<VendorProduct> list;
        {
            const std::lock_guard lock(self.ignoreListLock_);
            if (!self.ignoreList_.remove(pair))
                return;
            list = self.ignoreList_.values();
        }
        IgnoreListStorage::save(list);

        std::optional<QString> templateId;
        for (const auto& [id, attached] : self.attachedDevices_) {
            if (attached.key != pair)
                continue;
            self.seizeDevice(attached);
            if (!templateId)
                templateId = attached.templateId;
        }
        postToMain([source = self.shared_from_this(), pair, templateId] {
            source->takeBackControl(pair, templateId);
        });
        self.log(QStringLiteral("Velmor control enabled for vid ") + logformat::id(pair.vendor)
                 + QStringLiteral(" pid ") + logformat::id(pair.product) + QStringLiteral("."));
    });
}

void HIDDeviceInputSource::setConnectedDevicesIgnored(bool ignored, const VendorProduct& pair)
{
    QList<ConnectedDeviceInfo> list = connectedDevices_.get();
    for (ConnectedDeviceInfo& info : list)
        if (info.vendorId == pair.vendor && info.productId == pair.product)
            info.ignored = ignored;
    connectedDevices_.set(std::move(list));
}

void HIDDeviceInputSource::takeBackControl(const VendorProduct& pair, const std::optional<QString>& templateId)
{
    setConnectedDevicesIgnored(false, pair);
    if (!templateId)
        return;
    const auto it =
        std::find_if(devices_.begin(), devices_.end(), [&](const Device& d) { return d.id == *templateId; });
    if (it == devices_.end())
        return;
    setConnection(it->id, pair);
    activeDevice_.set(*it);
}

} // namespace velmor
