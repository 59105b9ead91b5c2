#pragma once

#include "input/DeviceButtonEvent.h"
#include "input/RawHIDSample.h"

#include <QString>

#include <mutex>
#include <variant>
#include <vector>

namespace velmor {

// What the value path hands on (events, samples, log lines), kept in the order
// the values were decoded until a turn of the main queue delivers it: one post
// for everything decoded in one go, not one per item. Any thread.
class ValueOutbox {
public:
    using Item = std::variant<DeviceButtonEvent, RawHIDSample, QString>;

    // True when the outbox was empty: the caller then posts one delivery.
    bool add(Item item);
    // Everything added so far, oldest first; the outbox is empty after.
    std::vector<Item> take();
    // Hands a taken list back so that its storage serves the next batch.
    void recycle(std::vector<Item> items);

private:
    std::mutex mutex_;
    std::vector<Item> items_;
    std::vector<Item> spare_;
};

} // namespace velmor
