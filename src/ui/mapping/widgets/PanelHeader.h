#pragma once

#include <QWidget>

namespace velmor {

// The title block of every context panel: the title, and the subtitle under it
// unless the subtitle is empty (a blank counts as text).
class PanelHeader : public QWidget {
public:
    PanelHeader(const QString& title, const QString& subtitle, QWidget* parent = nullptr);
};

} // namespace velmor
