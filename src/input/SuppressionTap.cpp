#include "input/SuppressionTap.h"

#include "input/TartarusTables.h"
#include "platform/Clock.h"
#include "platform/MainQueue.h"

#include <utility>
#include <QCoreApplication>
#include <QThread>

namespace velmor {

namespace {

bool onMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

bool isTapDisabledEvent(EventTap::EventType type)
{
    return type == EventTap::EventType::tapDisabledByTimeout || type == EventTap::EventType::tapDisabledByUserInput;
}

} // namespace

std::shared_ptr<SuppressionTap> SuppressionTap::create(Log log, Permission inputMonitoring)
{
    // Queued work may hold the last reference; the tap is torn down on the main
    // thread all the same.
    const auto deleter = [](SuppressionTap* suppression) {
        if (suppression->queue_->isCurrent() || !onMainThread())
            postToMain([suppression] { delete suppression; });
        else
            delete suppression;
    };
    return std::shared_ptr<SuppressionTap>(new SuppressionTap(std::move(log), std::move(inputMonitoring)), deleter);
}

SuppressionTap::SuppressionTap(Log log, Permission inputMonitoring)
    : log_(std::move(log))
    , inputMonitoring_(std::move(inputMonitoring))
    , queue_(SerialQueue::create(queueLabel))
{
}

SuppressionTap::~SuppressionTap()
{
    if (tap_) {
        tap_->setEnabled(false);
        if (attached_)
            tap_->detachFromMainLoop();
    }
}

void SuppressionTap::onQueue(std::function<void(SuppressionState&)> work)
{
    queue_->async([weak = weak_from_this(), work = std::move(work)] {
        if (auto self = weak.lock())
            work(self->state_);
    });
}

void SuppressionTap::installSuppressionTap()
{
    if (!onMainThread()) {
        postToMain([weak = weak_from_this()] {
            if (auto self = weak.lock())
                self->installSuppressionTap();
        });
        return;
    }
    if (tap_)
        return;
    if (inputMonitoring_ && !inputMonitoring_()) {
        log_(QStringLiteral("Input Monitoring permission not granted. Keyboard-style device reports may be blocked, "
                            "and factory defaults cannot be suppressed. Allow Velmor to read the devices (see "
                            "\"Input Monitoring\" in Velmor's Linux help), then relaunch Velmor."));
        return;
    }
    // The tap never outlives this object, so its callback may use it directly.
    tap_ = EventTap::create(SuppressionState::eventMask,
                            [this](const EventTap::Event& event) { return suppressionTapCallback(event); });
    if (!tap_) {
        log_(QStringLiteral("Failed to create event tap for default suppression."));
        return;
    }
    attached_ = tap_->attachToMainLoop();
    if (attached_) {
        tap_->setEnabled(true);
        log_(QStringLiteral("Event tap enabled to suppress Tartarus factory defaults."));
    }
}

void SuppressionTap::removeSuppressionTap()
{
    if (!onMainThread()) {
        postToMain([weak = weak_from_this()] {
            if (auto self = weak.lock())
                self->removeSuppressionTap();
        });
        return;
    }
    if (tap_) {
        tap_->setEnabled(false);
        if (attached_)
            tap_->detachFromMainLoop();
    }
    tap_.reset();
    attached_ = false;
    onQueue([](SuppressionState& state) { state.reset(); });
}

EventTap::Verdict SuppressionTap::suppressionTapCallback(const EventTap::Event& event)
{
    if (isTapDisabledEvent(event.type)) {
        if (tap_)
            tap_->setEnabled(true);
        return EventTap::Verdict::pass;
    }
    const std::uint64_t now = Clock::now();
    const SuppressionState::Decision decision = queue_->sync([&] { return state_.judge(event, now); });
    if (decision.primeFired)
        log_(QStringLiteral("Suppressed initial Tartarus default key event."));
    return decision.verdict;
}

void SuppressionTap::armKeySuppression(std::uint32_t keyboardUsage)
{
    const auto keyCode = tartarusUsageToKeycode().constFind(keyboardUsage);
    if (keyCode == tartarusUsageToKeycode().cend())
        return;
    const std::uint64_t now = Clock::now();
    queue_->sync([&] { state_.armKey(*keyCode, now); });
}

void SuppressionTap::armWheelSuppression(int direction)
{
    const std::uint64_t now = Clock::now();
    onQueue([direction, now](SuppressionState& state) { state.armWheel(direction, now); });
}

void SuppressionTap::armWheelClickSuppression()
{
    const std::uint64_t now = Clock::now();
    onQueue([now](SuppressionState& state) { state.armWheelClick(now); });
}

void SuppressionTap::armSpeechMikeMouseSuppression(bool rightButton)
{
    const std::uint64_t now = Clock::now();
    onQueue([rightButton, now](SuppressionState& state) { state.armSpeechMikeMouse(rightButton, now); });
}

void SuppressionTap::setMappedButtons(QHash<QString, QSet<QString>> mapped)
{
    onQueue([mapped = std::move(mapped)](SuppressionState& state) mutable { state.setMappedButtons(std::move(mapped)); });
}

void SuppressionTap::setMappedButtonsOf(QList<ButtonMapping> mappings)
{
    onQueue([mappings = std::move(mappings)](SuppressionState& state) mutable {
        QHash<QString, QSet<QString>> mapped;
        for (const ButtonMapping& mapping : std::exchange(mappings, {}))
            mapped[mapping.deviceId].insert(mapping.buttonId);
        state.setMappedButtons(std::move(mapped));
    });
}

bool SuppressionTap::isButtonMapped(const QString& deviceId, const QString& buttonId)
{
    return queue_->sync([&] { return state_.isButtonMapped(deviceId, buttonId); });
}

void SuppressionTap::tartarusRegistered(int productId)
{
    onQueue([productId](SuppressionState& state) { state.tartarusRegistered(productId); });
}

void SuppressionTap::tartarusForgotten(bool anyTartarusLeft)
{
    onQueue([anyTartarusLeft](SuppressionState& state) { state.tartarusForgotten(anyTartarusLeft); });
}

void SuppressionTap::speechMikeRegistered()
{
    onQueue([](SuppressionState& state) { state.speechMikeRegistered(); });
}

void SuppressionTap::speechMikeForgotten(bool anySpeechMikeLeft)
{
    onQueue([anySpeechMikeLeft](SuppressionState& state) { state.speechMikeForgotten(anySpeechMikeLeft); });
}

} // namespace velmor
