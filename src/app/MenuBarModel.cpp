#include "app/MenuBarModel.h"

#include "core/AppModel.h"
#include "input/UnifiedInputSource.h"
#include "platform/Text.h"
#include "store/ProfileStore.h"

namespace velmor {

namespace {

using Kind = MenuBarItem::Kind;

MenuBarItem entry(Kind kind, const QString& title = {}, std::function<void()> activate = {})
{
    MenuBarItem item;
    item.kind = kind;
    item.title = title;
    item.activate = std::move(activate);
    return item;
}

MenuBarItem button(const QString& title, std::function<void()> activate)
{
    return entry(Kind::button, title, std::move(activate));
}

MenuBarItem divider() { return entry(Kind::divider); }

MenuBarItem caption(const QString& title) { return entry(Kind::caption, title); }

MenuBarItem row(const QString& title, bool current, std::function<void()> activate)
{
    MenuBarItem item = entry(Kind::row, title, std::move(activate));
    item.symbol = current ? MenuBarModel::checkedSymbol : MenuBarModel::uncheckedSymbol;
    item.checked = current;
    return item;
}

} // namespace

QString MenuBarModel::controlTitle(const ConnectedDeviceInfo& info)
{
    if (info.productName)
        return *info.productName;
    if (info.templateId)
        return *info.templateId;
    return QStringLiteral("Unknown Device");
}

MenuBarModel::MenuBarModel(AppModel& model, Prompter& prompter, Requests requests)
    : model_(model)
    , files_(model.profileStore(), prompter, ProfileExchangeFlow::menuBar(model.profileStore()))
    , requests_(std::move(requests))
    , items_([this] { return compute(); })
{
    const ProfileStore& store = model_.profileStore();
    items_.watch(store.userProfiles());
    items_.watch(store.pacsProfiles());
    items_.watch(store.activeUserProfileId());
    items_.watch(model_.connectedDevices());
    items_.watch(model_.inputSource().activeDevice());
}

QList<MenuBarItem> MenuBarModel::compute()
{
    QList<MenuBarItem> items;
    MenuBarItem header = entry(Kind::header, QStringLiteral("Velmor"), [this] { requests_.openMappings(); });
    header.actionTitle = QStringLiteral("Open App");
    items.append(std::move(header));
    // Without a profile sync the model raises "Cloud Sync Unavailable" for the first and the last.
    items.append(button(QStringLiteral("Sync Now"), [this] { model_.syncNow(); }));
    items.append(button(QStringLiteral("Cloud Sync Diagnostics"), [this] {
        if (requests_.showEventLog)
            requests_.showEventLog();
        model_.startCloudDiagnostics();
    }));
    items.append(button(QStringLiteral("Reset CloudKit Subscriptions"), [this] { model_.resetCloudSubscriptions(); }));
    items.append(divider());
    addProfileGroups(items);
    items.append(divider());
    addDeviceGroup(items);
    items.append(divider());
    items.append(button(QStringLiteral("Admin / Tools"), [this] { requests_.openAdmin(); }));
    items.append(button(QStringLiteral("Quit"), [this] { requests_.quit(); }));
    return items;
}

void MenuBarModel::addProfileGroups(QList<MenuBarItem>& items)
{
    ProfileStore& store = model_.profileStore();

    items.append(caption(QStringLiteral("User Profiles")));
    const QUuid activeUserId = store.activeUserProfileId().get();
    for (const UserProfile& profile : store.userProfiles().get())
        items.append(row(text::displayName(profile.name), profile.id == activeUserId,
                         [&store, profile] { store.selectUserProfile(profile); }));
    items.append(button(QStringLiteral("Import User Profile…"), [this] { files_.importUserProfile(); }));
    items.append(button(QStringLiteral("Export Active User Profile…"), [this] { files_.exportUserProfile(); }));
    items.append(divider());

    items.append(caption(QStringLiteral("PACS")));
    // Checked by the active user profile's binding, not by the store's own active PACS id.
    const QUuid boundPacsId = store.activeUserProfile().pacsProfileId;
    for (const PacsProfile& profile : store.pacsProfiles().get())
        items.append(row(text::displayName(profile.name), profile.id == boundPacsId, [&store, id = profile.id] {
            store.setPacsProfile(id, store.activeUserProfile().id);
        }));
    items.append(button(QStringLiteral("Import PACS Profile…"), [this] { files_.importPacsProfile(); }));
    items.append(button(QStringLiteral("Export Active PACS Profile…"), [this] { files_.exportPacsProfile(); }));
}

void MenuBarModel::addDeviceGroup(QList<MenuBarItem>& items)
{
    items.append(caption(QStringLiteral("Device")));
    const QString activeDeviceId = model_.inputSource().activeDevice().get().id;
    for (const Device& device : model_.availableDevices())
        items.append(row(text::displayName(device.name), device.id == activeDeviceId,
                         [this, id = device.id] { model_.selectDevice(id); }));

    QList<ConnectedDeviceInfo> controllable = model_.connectedDevices().get();
    controllable.removeIf([](const ConnectedDeviceInfo& info) { return info.vendorId == 0; });
    if (controllable.isEmpty())
        return;
    items.append(divider());
    items.append(caption(QStringLiteral("Velmor Control (uncheck to let another app use it)")));
    for (const ConnectedDeviceInfo& info : controllable) {
        MenuBarItem toggle = entry(Kind::toggle, text::displayName(controlTitle(info)));
        toggle.checked = !info.ignored;
        toggle.toggle = [this, vendor = info.vendorId, product = info.productId](bool on) {
            HIDDeviceInputSource& source = model_.inputSource().hidSource();
            if (on)
                source.enableControl(vendor, product);
            else
                source.disableControl(vendor, product);
        };
        items.append(std::move(toggle));
    }
}

} // namespace velmor
