#include "ui/shared/widgets/NewUserProfileSheet.h"

#include "ui/shared/widgets/ElidingComboBox.h"
#include "ui/shared/widgets/SheetParts.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace velmor {

namespace {

QComboBox* picker(const QString& objectName, const QStringList& entries, QWidget* parent)
{
    // A long name is cut in the picker rather than widening the sheet.
    auto* combo = new ElidingComboBox(parent);
    combo->setObjectName(objectName);
    QList<ElidingComboBox::Entry> shown;
    for (const QString& entry : entries)
        shown.append({entry, static_cast<int>(shown.size())});
    combo->showEntries(shown, 0);
    return combo;
}

} // namespace

NewUserProfileSheet::NewUserProfileSheet(NewUserProfileForm form, QWidget* parent)
    : QWidget(parent), form_(std::move(form)), name_(sheet::nameField(QStringLiteral("Profile name"), this)),
      pacs_(picker(QStringLiteral("pacs"), form_.pacsNames(), this)),
      device_(picker(QStringLiteral("device"), form_.deviceNames(), this))
{
    setWindowTitle(QStringLiteral("New User Profile"));
    setMinimumWidth(380);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);
    layout->addWidget(sheet::title(QStringLiteral("New User Profile"), this));
    layout->addWidget(name_);

    auto* pickers = new QFormLayout;
    pickers->setContentsMargins(0, 0, 0, 0);
    pickers->setVerticalSpacing(14);
    pickers->addRow(QStringLiteral("PACS Profile"), pacs_);
    pickers->addRow(QStringLiteral("Device"), device_);
    layout->addLayout(pickers);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* cancel = sheet::button(QStringLiteral("Cancel"), QStringLiteral("cancel"), false, this);
    auto* create = sheet::button(QStringLiteral("Create"), QStringLiteral("create"), true, this);
    buttons->addWidget(cancel);
    buttons->addWidget(create);
    layout->addSpacing(4);
    layout->addLayout(buttons);

    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) { form_.setName(text); });
    connect(pacs_, &QComboBox::activated, this, [this](int index) { form_.choosePacs(index); });
    connect(device_, &QComboBox::activated, this, [this](int index) { form_.chooseDevice(index); });
    connect(cancel, &QPushButton::clicked, this, [this] { form_.cancel(); });
    connect(create, &QPushButton::clicked, this, [this] { form_.create(); });
    refresh();
}

void NewUserProfileSheet::refresh()
{
    const QSignalBlocker blockName(name_);
    const QSignalBlocker blockPacs(pacs_);
    const QSignalBlocker blockDevice(device_);
    if (name_->text() != form_.name())
        name_->setText(form_.name());
    pacs_->setCurrentIndex(form_.shownPacsIndex());
    device_->setCurrentIndex(form_.shownDeviceIndex());
}

} // namespace velmor
