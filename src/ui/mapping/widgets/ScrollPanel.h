#pragma once

#include <QScrollArea>

class QVBoxLayout;

namespace velmor {

// A context panel's scrolling body: a transparent scroll area whose content is
// a leading-aligned column with 14 points between its items.
class ScrollPanel : public QScrollArea {
public:
    explicit ScrollPanel(QWidget* parent = nullptr);

    QVBoxLayout* body() const { return body_; }

private:
    QVBoxLayout* body_;
};

} // namespace velmor
