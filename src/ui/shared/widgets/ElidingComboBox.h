#pragma once

#include <QComboBox>

namespace velmor {

// A combo box that cuts a long current entry with "…" instead of clipping it,
// so a narrow picker still says which entry is chosen.
class ElidingComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;

    // The current entry as drawn at the present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int textWidth() const;
};

} // namespace velmor
