#include "input/ValueOutbox.h"

namespace velmor {

bool ValueOutbox::add(Item item)
{
    const std::lock_guard lock(mutex_);
    items_.push_back(std::move(item));
    return items_.size() == 1;
}

std::vector<ValueOutbox::Item> ValueOutbox::take()
{
    const std::lock_guard lock(mutex_);
    std::vector<Item> taken = std::move(items_);
    items_ = std::move(spare_);
    spare_ = {};
    return taken;
}

void ValueOutbox::recycle(std::vector<Item> items)
{
    items.clear();
    const std::lock_guard lock(mutex_);
    if (items.capacity() > spare_.capacity())
        spare_ = std::move(items);
}

} // namespace velmor
