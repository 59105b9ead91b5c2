#pragma once

#include "ui/devices/LayoutPresets.h"

#include <QAbstractButton>

namespace velmor {

// A size-preset button of the layout editor: the preset's shape, name and size
// on a rounded card, outlined in purple while the selected button has that size.
class LayoutPresetCard : public QAbstractButton {
public:
    static constexpr int previewHeight = 44;

    LayoutPresetCard(LayoutSizePreset preset, QWidget* parent);

    const LayoutSizePreset& preset() const { return preset_; }
    void setActive(bool active);
    bool isActive() const { return active_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LayoutSizePreset preset_;
    bool active_ = false;
};

} // namespace velmor
