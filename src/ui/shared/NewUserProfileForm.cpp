#include "ui/shared/NewUserProfileForm.h"

#include "platform/Text.h"
#include "platform/TextEnds.h"

#include <algorithm>

namespace velmor {

namespace {

template <typename Entry, typename Id>
int shownIndex(const QList<Entry>& entries, const std::optional<Id>& bound)
{
    if (!bound)
        return entries.isEmpty() ? -1 : 0;
    const auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& entry) { return entry.id == *bound; });
    return it == entries.end() ? -1 : static_cast<int>(it - entries.begin());
}

template <typename Entry>
QStringList namesOf(const QList<Entry>& entries)
{
    QStringList names;
    for (const Entry& entry : entries)
        names << text::shownEnds(entry.name);
    return names;
}

void call(const std::function<void()>& callback)
{
    if (callback)
        callback();
}

} // namespace

NewUserProfileForm::NewUserProfileForm(Binding<QString> name, Binding<std::optional<QUuid>> pacsId,
                                       Binding<std::optional<QString>> deviceId, QList<PacsProfile> pacsProfiles,
                                       QList<Device> devices, std::function<void()> onCreate,
                                       std::function<void()> onCancel)
    : name_(std::move(name)), pacsId_(std::move(pacsId)), deviceId_(std::move(deviceId)),
      pacsProfiles_(std::move(pacsProfiles)), devices_(std::move(devices)), onCreate_(std::move(onCreate)),
      onCancel_(std::move(onCancel))
{
}

QStringList NewUserProfileForm::pacsNames() const { return namesOf(pacsProfiles_); }
QStringList NewUserProfileForm::deviceNames() const { return namesOf(devices_); }

int NewUserProfileForm::shownPacsIndex() const { return shownIndex(pacsProfiles_, pacsId_.get()); }
int NewUserProfileForm::shownDeviceIndex() const { return shownIndex(devices_, deviceId_.get()); }

void NewUserProfileForm::choosePacs(int index)
{
    if (index >= 0 && index < pacsProfiles_.size())
        pacsId_.set(pacsProfiles_[index].id);
}

void NewUserProfileForm::chooseDevice(int index)
{
    if (index >= 0 && index < devices_.size())
        deviceId_.set(devices_[index].id);
}

void NewUserProfileForm::create()
{
    // Only an empty binding takes the shown entry: a bound id stays as it is,
    // even one that no entry has.
    if (!pacsId_.get() && !pacsProfiles_.isEmpty())
        pacsId_.set(pacsProfiles_.constFirst().id);
    if (!deviceId_.get() && !devices_.isEmpty())
        deviceId_.set(devices_.constFirst().id);
    call(onCreate_);
    call(onCancel_);
}

void NewUserProfileForm::cancel() { call(onCancel_); }

} // namespace velmor
