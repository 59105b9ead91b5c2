#pragma once

#include <QLabel>

namespace velmor {

// A label that shows one name (as text::displayName shows it) as plain text on
// one line, cut with "…" to the width its layout gives it. It asks for room for
// a few characters only: a long name never widens its window or pushes the
// widgets beside it out of sight. text() stays the whole name.
class NameLabel : public QLabel {
public:
    explicit NameLabel(const QString& shown = {}, QWidget* parent = nullptr);

    // The name as drawn at the present width.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velmor
