#pragma once

#include "model/ToolIconSelection.h"

#include <functional>

class QWidget;

namespace velmor {

class SheetHost;

// The icon picker as the tool inspector and the toggle editor present it: a
// sheet over the owner, at most one at a time, closed after a choice, a cancel
// or Escape. The owner keeps the host as a member.
class IconPickerHost {
public:
    explicit IconPickerHost(QWidget& owner) : owner_(owner) {}
    ~IconPickerHost();
    IconPickerHost(const IconPickerHost&) = delete;
    IconPickerHost& operator=(const IconPickerHost&) = delete;

    // Opens the picker on `selected` unless one is open; a choice goes to
    // `onSelect`, then the sheet closes.
    void open(const ToolIconSelection& selected, std::function<void(const ToolIconSelection&)> onSelect);
    void close();
    // The picker while it is open.
    QWidget* picker() const;

private:
    QWidget& owner_;
    SheetHost* sheet_ = nullptr;
};

} // namespace velmor
