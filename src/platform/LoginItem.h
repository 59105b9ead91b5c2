#pragma once

#include <QString>

#include <mutex>

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

// ~/.config/autostart/velmor.desktop (or $XDG_CONFIG_HOME/autostart). Hidden=true
// or X-GNOME-Autostart-enabled=false there is the desktop's switch: off.
class XdgAutostartLoginItem final : public LoginItem {
public:
    // `configHome` empty: the user's XDG config folder. `executable` empty: this program.
    explicit XdgAutostartLoginItem(QString configHome = {}, QString executable = {});
    Status status() const override;
    bool registerItem() override;

    QString entryPath() const;

private:
    QString configHome_;
    QString executable_;
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
