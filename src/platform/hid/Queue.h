#pragma once

#include "platform/hid/Device.h"

#include <functional>
#include <optional>

namespace velmor::hid {

// A value queue over chosen elements of one device. While started, values of
// those elements are kept, oldest first, up to the queue's depth (later values
// are dropped while it is full); while scheduled, the value-available callback
// runs on the main loop after values arrive.
class Queue {
public:
    using ValueAvailableCallback = std::function<void(Result)>;

    virtual ~Queue() = default;

    virtual void addElement(const Element& element) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual void setValueAvailableCallback(ValueAvailableCallback callback) = 0;
    virtual void scheduleWithMainLoop() = 0;
    virtual void unscheduleFromMainLoop() = 0;
    // The oldest kept value, without waiting; none when the queue is empty.
    virtual std::optional<Value> copyNextValue() = 0;
};

} // namespace velmor::hid
