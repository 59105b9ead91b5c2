#pragma once

#include <QString>
#include <QWidget>

namespace velmor {

// Stands in for a window whose own view this build does not have yet: the
// window's title on the usual background, and a line saying so.
class PlaceholderView : public QWidget {
public:
    PlaceholderView(const QString& title, QWidget* parent = nullptr);
};

} // namespace velmor
