#include "platform/hid/ScriptedDevice.h"

#include "platform/MainQueue.h"
#include "platform/hid/Queue.h"

#include <deque>

namespace velmor::hid {

// ---------------------------------------------------------------- queue

struct ScriptedDevice::QueueState {
    std::mutex mutex;
    int depth = 0;
    QList<std::uint32_t> cookies;
    std::deque<Value> values;
    bool started = false;
    bool scheduled = false;
    Queue::ValueAvailableCallback callback;

    // Keeps the value when it belongs here; returns the callback to call then.
    Queue::ValueAvailableCallback offer(const Value& value)
    {
        const std::lock_guard lock(mutex);
        if (!started || !cookies.contains(value.element.cookie))
            return {};
        if (values.size() < static_cast<std::size_t>(depth))
            values.push_back(value);
        return scheduled ? callback : Queue::ValueAvailableCallback{};
    }
};

class ScriptedDevice::ScriptedQueue final : public Queue {
public:
    ScriptedQueue(std::shared_ptr<ScriptedDevice> device, std::shared_ptr<QueueState> state)
        : device_(std::move(device))
        , state_(std::move(state))
    {
    }

    void addElement(const Element& element) override
    {
        const std::lock_guard lock(state_->mutex);
        if (!state_->cookies.contains(element.cookie))
            state_->cookies.append(element.cookie);
    }
    void start() override { set(&QueueState::started, true); }
    void stop() override { set(&QueueState::started, false); }
    void scheduleWithMainLoop() override { set(&QueueState::scheduled, true); }
    void unscheduleFromMainLoop() override { set(&QueueState::scheduled, false); }
    void setValueAvailableCallback(ValueAvailableCallback callback) override
    {
        const std::lock_guard lock(state_->mutex);
        state_->callback = std::move(callback);
    }
    std::optional<Value> copyNextValue() override
    {
        const std::lock_guard lock(state_->mutex);
        if (state_->values.empty())
            return std::nullopt;
        Value value = std::move(state_->values.front());
        state_->values.pop_front();
        return value;
    }

private:
    void set(bool QueueState::*flag, bool on)
    {
        const std::lock_guard lock(state_->mutex);
        state_.get()->*flag = on;
    }

    std::shared_ptr<ScriptedDevice> device_; // a queue keeps its device, as a handle would
    std::shared_ptr<QueueState> state_;
};

// ---------------------------------------------------------------- device

ScriptedDevice::ScriptedDevice(QVariantMap properties, QList<Element> elements)
    : properties_(std::move(properties))
    , elements_(std::move(elements))
{
}

ScriptedDevice::~ScriptedDevice() = default;

QVariant ScriptedDevice::property(const QString& key) const
{
    const std::lock_guard lock(mutex_);
    return properties_.value(key);
}

Result ScriptedDevice::beginCall(const QString& record, ScriptedCall call) const
{
    // Called with mutex_ held.
    calls_.append(record);
    if (!attached_)
        return Result::noDevice();
    return failures_.take(call).value_or(Result::success());
}

Result ScriptedDevice::open(OpenOptions options)
{
    const std::lock_guard lock(mutex_);
    const bool seize = options == OpenOptions::seize;
    const Result result = beginCall(seize ? QStringLiteral("open seize") : QStringLiteral("open"), ScriptedCall::open);
    if (result.isSuccess()) {
        open_ = true;
        seized_ = seized_ || seize;
    }
    return result;
}

Result ScriptedDevice::close(OpenOptions options)
{
    const std::lock_guard lock(mutex_);
    const bool seize = options == OpenOptions::seize;
    const Result result
        = beginCall(seize ? QStringLiteral("close seize") : QStringLiteral("close"), ScriptedCall::close);
    if (result.isSuccess()) {
        open_ = false;
        seized_ = false;
    }
    return result;
}

std::optional<QList<Element>> ScriptedDevice::copyElements() const
{
    const std::lock_guard lock(mutex_);
    if (!beginCall(QStringLiteral("copyElements"), ScriptedCall::copyElements).isSuccess())
        return std::nullopt;
    return elements_;
}

Result ScriptedDevice::setFeatureReport(std::uint32_t reportId, const QByteArray& report)
{
    const std::lock_guard lock(mutex_);
    Result result = beginCall(QStringLiteral("setFeatureReport %1").arg(reportId), ScriptedCall::setFeatureReport);
    if (result.isSuccess() && !open_)
        result = Result::notOpen();
    if (result.isSuccess())
        sentReports_.append({reportId, report});
    return result;
}

std::unique_ptr<Queue> ScriptedDevice::createQueue(int depth)
{
    auto state = std::make_shared<QueueState>();
    state->depth = depth;
    {
        const std::lock_guard lock(mutex_);
        if (!beginCall(QStringLiteral("createQueue %1").arg(depth), ScriptedCall::createQueue).isSuccess() || depth < 1)
            return nullptr;
        queues_.append(state);
    }
    return std::make_unique<ScriptedQueue>(shared_from_this(), state);
}

void ScriptedDevice::setInputValueCallback(ValueCallback callback)
{
    const std::lock_guard lock(mutex_);
    valueCallback_ = std::move(callback);
}

void ScriptedDevice::setInputReportCallback(qsizetype bufferLength, ReportCallback callback)
{
    const std::lock_guard lock(mutex_);
    reportBufferLength_ = bufferLength;
    reportCallback_ = std::move(callback);
}

void ScriptedDevice::scheduleWithMainLoop()
{
    const std::lock_guard lock(mutex_);
    scheduled_ = true;
}

void ScriptedDevice::unscheduleFromMainLoop()
{
    const std::lock_guard lock(mutex_);
    scheduled_ = false;
}

void ScriptedDevice::setProperty(const QString& key, const QVariant& value)
{
    const std::lock_guard lock(mutex_);
    if (value.isValid())
        properties_.insert(key, value);
    else
        properties_.remove(key);
}

bool ScriptedDevice::ownValueRoutesRepeatManager() const
{
    const std::lock_guard lock(mutex_);
    return ownRoutesRepeatManager_;
}

void ScriptedDevice::setOwnValueRoutesRepeatManager(bool repeats)
{
    const std::lock_guard lock(mutex_);
    ownRoutesRepeatManager_ = repeats;
}

void ScriptedDevice::setElements(QList<Element> elements)
{
    const std::lock_guard lock(mutex_);
    elements_ = std::move(elements);
}

void ScriptedDevice::sendValue(const Element& element, std::int64_t value)
{
    postToMain([weak = weak_from_this(), element, value] {
        if (auto device = weak.lock())
            device->deliverValue(element, value);
    });
}

void ScriptedDevice::deliverValue(const Element& element, std::int64_t integerValue)
{
    ValueRoute route;
    ValueCallback callback;
    QList<std::shared_ptr<QueueState>> queues;
    {
        const std::lock_guard lock(mutex_);
        if (!attached_)
            return;
        route = route_;
        if (scheduled_)
            callback = valueCallback_;
        queues_.removeIf([](const auto& weak) { return weak.expired(); });
        for (const auto& weak : std::as_const(queues_))
            if (auto queue = weak.lock())
                queues.append(queue);
    }
    const Value value{shared_from_this(), element, integerValue};
    if (route)
        route(value);
    if (callback)
        callback(Result::success(), value);
    for (const auto& queue : std::as_const(queues))
        if (auto available = queue->offer(value))
            available(Result::success());
}

void ScriptedDevice::sendReport(std::uint32_t reportId, const QByteArray& report, ReportType type, Result result)
{
    postToMain([weak = weak_from_this(), reportId, report, type, result] {
        auto device = weak.lock();
        if (!device)
            return;
        ReportCallback callback;
        qsizetype length = 0;
        {
            const std::lock_guard lock(device->mutex_);
            if (!device->attached_ || !device->scheduled_)
                return;
            callback = device->reportCallback_;
            length = device->reportBufferLength_;
        }
        if (callback)
            callback(result, type, reportId, report.left(length));
    });
}

bool ScriptedDevice::isAttached() const
{
    const std::lock_guard lock(mutex_);
    return attached_;
}

bool ScriptedDevice::isOpen() const
{
    const std::lock_guard lock(mutex_);
    return open_;
}

bool ScriptedDevice::isSeized() const
{
    const std::lock_guard lock(mutex_);
    return seized_;
}

bool ScriptedDevice::isScheduled() const
{
    const std::lock_guard lock(mutex_);
    return scheduled_;
}

bool ScriptedDevice::hasInputValueCallback() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<bool>(valueCallback_);
}

bool ScriptedDevice::hasInputReportCallback() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<bool>(reportCallback_);
}

qsizetype ScriptedDevice::reportBufferLength() const
{
    const std::lock_guard lock(mutex_);
    return reportBufferLength_;
}

QStringList ScriptedDevice::calls() const
{
    const std::lock_guard lock(mutex_);
    return calls_;
}

QList<ScriptedDevice::SentReport> ScriptedDevice::sentFeatureReports() const
{
    const std::lock_guard lock(mutex_);
    return sentReports_;
}

void ScriptedDevice::attach(ValueRoute route)
{
    const std::lock_guard lock(mutex_);
    attached_ = true;
    route_ = std::move(route);
}

void ScriptedDevice::detach()
{
    const std::lock_guard lock(mutex_);
    attached_ = false;
    open_ = false;
    seized_ = false;
    route_ = nullptr;
}

} // namespace velmor::hid
