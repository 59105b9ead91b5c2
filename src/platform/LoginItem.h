#pragma once

#include <QString>

#include <mutex>
#include <optional>

namespace velmor {

// The application's own "start at login" entry.
class LoginItem {
public:
    enum class Status { NotRegistered, Enabled, RequiresApproval, NotFound };

    virtual ~LoginItem() = default;
    // RequiresApproval: the user switched the item off; it stays off until they
    // switch it on again.
    virtual Status status() const = 0;
    // Returns false when the entry could not be registered, or waits for the
    // user's approval (then nothing changes).
    virtual bool registerItem() = 0;

    // The process-wide login item: the XDG autostart entry unless a test installed another.
    static LoginItem& instance();
    static void setInstance(LoginItem* item);
};

// ~/.config/autostart/velmor.desktop (or $XDG_CONFIG_HOME/autostart). Off
// (RequiresApproval) while Hidden=true or X-GNOME-Autostart-enabled=false is set there,
// the desktop's switch, and once the user removed the entry: the settings remember the
// machine on which an entry was written or seen. NotRegistered also while the entry
// names a program that is gone, or is Velmor's own entry for another program than the
// installed one (the one the menu's entry in $XDG_DATA_HOME/applications runs):
// registering then writes it again, for the installed program, else this one.
class XdgAutostartLoginItem final : public LoginItem {
public:
    static const QString rememberedKey; // "Velmor.autostartRegistered"

    // Empty arguments: the user's XDG config and data folders, this program.
    explicit XdgAutostartLoginItem(QString configHome = {}, QString executable = {}, QString dataHome = {});
    Status status() const override;
    bool registerItem() override;

    QString entryPath() const;
    // The program a new entry names.
    QString program() const;

private:
    std::optional<QString> installedProgram() const;

    QString configHome_;
    QString executable_;
    QString dataHome_;
};

class InMemoryLoginItem final : public LoginItem {
public:
    Status status() const override;
    bool registerItem() override;

    void setStatus(Status status);
    void setRegisterFails(bool fails);
    int registerCalls() const;

private:
    mutable std::mutex mutex_;
    Status status_ = Status::NotRegistered;
    bool registerFails_ = false;
    int registerCalls_ = 0;
};

} // namespace velmor
