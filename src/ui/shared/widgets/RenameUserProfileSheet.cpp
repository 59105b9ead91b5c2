#include "ui/shared/widgets/RenameUserProfileSheet.h"

#include "ui/shared/widgets/SheetParts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace velmor {

RenameUserProfileSheet::RenameUserProfileSheet(Binding<QString> name, std::function<void()> onSave,
                                               std::function<void()> onCancel, QWidget* parent)
    : QWidget(parent), name_(std::move(name)), onSave_(std::move(onSave)), onCancel_(std::move(onCancel)),
      field_(sheet::nameField(QStringLiteral("Profile name"), this))
{
    setWindowTitle(QStringLiteral("Rename User Profile"));
    setMinimumWidth(360);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(12);
    layout->addWidget(sheet::title(QStringLiteral("Rename User Profile"), this));
    layout->addWidget(field_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* cancel = sheet::button(QStringLiteral("Cancel"), QStringLiteral("cancel"), false, this);
    auto* save = sheet::button(QStringLiteral("Save"), QStringLiteral("save"), true, this);
    buttons->addWidget(cancel);
    buttons->addWidget(save);
    layout->addLayout(buttons);

    connect(field_, &QLineEdit::textEdited, this, [this](const QString& text) { name_.set(text); });
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (onCancel_)
            onCancel_();
    });
    connect(save, &QPushButton::clicked, this, [this] {
        if (onSave_)
            onSave_();
        if (onCancel_)
            onCancel_();
    });
    refresh();
}

void RenameUserProfileSheet::refresh()
{
    const QSignalBlocker block(field_);
    if (field_->text() != name_.get())
        field_->setText(name_.get());
}

} // namespace velmor
