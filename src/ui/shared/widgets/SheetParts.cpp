#include "ui/shared/widgets/SheetParts.h"

#include "ui/shared/Theme.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace velmor::sheet {

QLabel* title(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(Theme::boldFont(Theme::TextStyle::title2));
    return label;
}

QLineEdit* nameField(const QString& placeholder, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QStringLiteral("name"));
    field->setPlaceholderText(placeholder);
    field->setClearButtonEnabled(false);
    return field;
}

QPushButton* button(const QString& text, const QString& objectName, bool prominent, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    button->setDefault(false);
    if (prominent)
        makeProminent(*button);
    return button;
}

} // namespace velmor::sheet
