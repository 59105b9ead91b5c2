#include "platform/hid/linux/HidrawQueue.h"

namespace velmor::hid {

Queue::ValueAvailableCallback HidrawQueue::Inbox::offer(const Value& value)
{
    const std::lock_guard lock(mutex_);
    if (!started_ || !cookies_.contains(value.element.cookie))
        return {};
    if (values_.size() < size_t(depth_))
        values_.push_back(value);
    return scheduled_ ? callback_ : ValueAvailableCallback{};
}

HidrawQueue::HidrawQueue(std::shared_ptr<Device> device, std::shared_ptr<Inbox> inbox)
    : device_(std::move(device))
    , inbox_(std::move(inbox))
{
}

void HidrawQueue::addElement(const Element& element)
{
    const std::lock_guard lock(inbox_->mutex_);
    if (!inbox_->cookies_.contains(element.cookie))
        inbox_->cookies_.append(element.cookie);
}

void HidrawQueue::start()
{
    const std::lock_guard lock(inbox_->mutex_);
    inbox_->started_ = true;
}

void HidrawQueue::stop()
{
    const std::lock_guard lock(inbox_->mutex_);
    inbox_->started_ = false;
}

void HidrawQueue::setValueAvailableCallback(ValueAvailableCallback callback)
{
    const std::lock_guard lock(inbox_->mutex_);
    inbox_->callback_ = std::move(callback);
}

void HidrawQueue::scheduleWithMainLoop()
{
    const std::lock_guard lock(inbox_->mutex_);
    inbox_->scheduled_ = true;
}

void HidrawQueue::unscheduleFromMainLoop()
{
    const std::lock_guard lock(inbox_->mutex_);
    inbox_->scheduled_ = false;
}

std::optional<Value> HidrawQueue::copyNextValue()
{
    const std::lock_guard lock(inbox_->mutex_);
    if (inbox_->values_.empty())
        return std::nullopt;
    Value value = std::move(inbox_->values_.front());
    inbox_->values_.pop_front();
    return value;
}

} // namespace velmor::hid
