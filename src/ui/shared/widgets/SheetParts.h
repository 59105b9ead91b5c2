#pragma once

#include <QString>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace velmor::sheet {

// Pieces the profile sheets share.
QLabel* title(const QString& text, QWidget* parent);
QLineEdit* nameField(const QString& placeholder, QWidget* parent);
// A button that never reacts to Return in a field of its dialog.
QPushButton* button(const QString& text, const QString& objectName, bool prominent, QWidget* parent);

} // namespace velmor::sheet
