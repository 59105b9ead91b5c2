#pragma once

#include "platform/hid/Queue.h"

#include <QList>

#include <deque>
#include <memory>
#include <mutex>

namespace velmor::hid {

// A value queue of the hidraw backend. Its device offers it every value it
// decodes (on the main loop); the queue keeps those of its elements while started.
class HidrawQueue final : public Queue {
public:
    // What the device holds of the queue: the queue's state outlives neither.
    class Inbox {
    public:
        explicit Inbox(int depth) : depth_(depth) {}
        // Keeps the value when the queue wants it; returns the callback to run then.
        ValueAvailableCallback offer(const Value& value);

    private:
        friend class HidrawQueue;
        std::mutex mutex_;
        const int depth_;
        QList<std::uint32_t> cookies_;
        std::deque<Value> values_;
        bool started_ = false;
        bool scheduled_ = false;
        ValueAvailableCallback callback_;
    };

    // The queue keeps its device alive, as a handle would.
    HidrawQueue(std::shared_ptr<Device> device, std::shared_ptr<Inbox> inbox);

    void addElement(const Element& element) override;
    void start() override;
    void stop() override;
    void setValueAvailableCallback(ValueAvailableCallback callback) override;
    void scheduleWithMainLoop() override;
    void unscheduleFromMainLoop() override;
    std::optional<Value> copyNextValue() override;

private:
    std::shared_ptr<Device> device_;
    std::shared_ptr<Inbox> inbox_;
};

} // namespace velmor::hid
