#pragma once

#include "ui/devices/LayoutPresets.h"

#include <QAbstractButton>

class QPainter;

namespace velmor {

// The picture inside a preset card: the preset's proportions fitted into the
// space (touching two opposite sides), on a faint frame, clipped to the space.
struct LayoutPresetPreview {
    LayoutSizePreset preset;

    void paint(QPainter& painter, const QRectF& space) const;
};

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
