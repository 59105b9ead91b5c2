#pragma once

#include "model/Device.h"
#include "model/PacsProfile.h"
#include "ui/shared/Binding.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <optional>

namespace velmor {

// The new-user-profile sheet's form: a name, a PACS profile and a device, all
// owned by the presenter behind bindings. While a binding is empty its picker
// shows the first entry; "Create" writes that shown entry into the binding before
// reporting, so what the user saw is what gets created.
class NewUserProfileForm {
public:
    NewUserProfileForm(Binding<QString> name, Binding<std::optional<QUuid>> pacsId,
                       Binding<std::optional<QString>> deviceId, QList<PacsProfile> pacsProfiles,
                       QList<Device> devices, std::function<void()> onCreate, std::function<void()> onCancel);

    QString name() const { return name_.get(); }
    void setName(const QString& name) { name_.set(name); }

    // The pickers' entries as shown (text::displayName), in the order given.
    QStringList pacsNames() const;
    QStringList deviceNames() const;
    // The entry each picker shows: the bound one, else the first; -1 shows none
    // (an empty list, or a bound id that no entry has).
    int shownPacsIndex() const;
    int shownDeviceIndex() const;
    // The user picks an entry; an index outside the list changes nothing.
    void choosePacs(int index);
    void chooseDevice(int index);

    // "Create": fills empty bindings with the shown entries, then onCreate, then onCancel.
    void create();
    // "Cancel": onCancel only.
    void cancel();

private:
    Binding<QString> name_;
    Binding<std::optional<QUuid>> pacsId_;
    Binding<std::optional<QString>> deviceId_;
    QList<PacsProfile> pacsProfiles_;
    QList<Device> devices_;
    std::function<void()> onCreate_;
    std::function<void()> onCancel_;
};

} // namespace velmor
