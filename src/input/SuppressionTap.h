#pragma once

#include "model/ButtonMapping.h"
#include "input/SuppressionState.h"
#include "platform/SerialQueue.h"
#include "platform/tap/EventTap.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

namespace velmor {

// Keeps the keypad's and the SpeechMike's own key, click and wheel output from
// the applications while Velmor maps their buttons. The HID value path arms
// short windows; the event tap drops the matching system events inside them.
//
// The windows live on the serial queue "com.velmor.tartarus.suppression"; the
// tap is installed, removed and called on the main thread. Work handed to a
// queue holds this object weakly.
class SuppressionTap : public std::enable_shared_from_this<SuppressionTap> {
public:
    using Log = std::function<void(const QString&)>;
    // Whether Velmor may watch input events at all.
    using Permission = std::function<bool()>;

    static inline const QString queueLabel = QStringLiteral("com.velmor.tartarus.suppression");

    static std::shared_ptr<SuppressionTap> create(Log log, Permission inputMonitoring);
    ~SuppressionTap();

    // Main thread; called elsewhere, they post themselves there.
    void installSuppressionTap();
    void removeSuppressionTap();
    bool isInstalled() const { return tap_ != nullptr; }

    // Arming by the value path: the time is taken at the call.
    void armKeySuppression(std::uint32_t keyboardUsage);
    void armWheelSuppression(int direction);
    void armWheelClickSuppression();
    void armSpeechMikeMouseSuppression(bool rightButton);

    void setMappedButtons(QHash<QString, QSet<QString>> mapped);
    // The buttons these mappings name, by device, gathered on the tap's queue: a
    // profile of many mappings costs the caller's thread nothing.
    void setMappedButtonsOf(QList<ButtonMapping> mappings);
    bool isButtonMapped(const QString& deviceId, const QString& buttonId);

    // The device life cycle, in the order it registers and forgets devices.
    void tartarusRegistered(int productId);
    void tartarusForgotten(bool anyTartarusLeft);
    void speechMikeRegistered();
    void speechMikeForgotten(bool anySpeechMikeLeft);

    // The tap's callback.
    EventTap::Verdict suppressionTapCallback(const EventTap::Event& event);

private:
    SuppressionTap(Log log, Permission inputMonitoring);
    // Runs `work` on the state later, unless this object is gone by then.
    void onQueue(std::function<void(SuppressionState&)> work);

    Log log_;
    Permission inputMonitoring_;
    std::unique_ptr<SerialQueue> queue_;
    SuppressionState state_; // queue only
    std::unique_ptr<EventTap> tap_; // main thread only
    bool attached_ = false;
};

} // namespace velmor
