#pragma once

#include <QString>
#include <QWidget>

namespace velmor {

// Stands in for a window whose own view this build does not have yet: the
// window's title on the usual background, and a line saying so.
class PlaceholderView : public QWidget {
public:
    // `placement`: where the card sits; in a view larger than its window (which
    // scrolls) the top left stays in sight.
    explicit PlaceholderView(const QString& title, Qt::Alignment placement = Qt::AlignCenter, QWidget* parent = nullptr);
};

} // namespace velmor
