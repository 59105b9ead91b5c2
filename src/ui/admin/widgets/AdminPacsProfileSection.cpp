#include "ui/admin/widgets/AdminPacsProfileSection.h"

#include "model/HexColor.h"
#include "ui/admin/widgets/AdminStyle.h"
#include "ui/shared/Theme.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/ElidingComboBox.h"

#include <QColorDialog>
#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmor {

AdminPacsProfileSection::AdminPacsProfileSection(Actions actions, QWidget* parent)
    : QWidget(parent), actions_(std::move(actions))
{
    setObjectName(QStringLiteral("pacsSection"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(admin::label(tr("PACS Profile"), Theme::TextStyle::caption, Theme::gray(), true, this));

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    picker_ = new ElidingComboBox(this);
    picker_->setObjectName(QStringLiteral("pacsPicker"));
    picker_->setAccessibleName(tr("PACS Profile"));
    row->addWidget(picker_, 1);
    menuButton_ = new QToolButton(this);
    menuButton_->setObjectName(QStringLiteral("pacsActions"));
    menuButton_->setToolTip(tr("PACS actions"));
    menuButton_->setIcon(SymbolIcons::instance().icon(QStringLiteral("ellipsis.circle"), Theme::gray()));
    menuButton_->setAutoRaise(true);
    menuButton_->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(menuButton_);
    QAction* rename = menu->addAction(tr("Rename PACS"));
    rename->setObjectName(QStringLiteral("renamePacs"));
    QAction* duplicate = menu->addAction(tr("Duplicate PACS"));
    duplicate->setObjectName(QStringLiteral("duplicatePacs"));
    delete_ = menu->addAction(tr("Delete PACS"));
    delete_->setObjectName(QStringLiteral("deletePacs"));
    menuButton_->setMenu(menu);
    row->addWidget(menuButton_);
    column->addLayout(row);

    lightingRow_ = new QWidget(this);
    auto* lighting = new QHBoxLayout(lightingRow_);
    lighting->setContentsMargins(0, 0, 0, 0);
    lighting->addWidget(admin::label(tr("Lighting"), Theme::TextStyle::body, Qt::white, false, lightingRow_));
    lighting->addStretch(1);
    lightingButton_ = new QPushButton(lightingRow_);
    lightingButton_->setObjectName(QStringLiteral("pacsLighting"));
    lightingButton_->setFixedSize(44, 22);
    lighting->addWidget(lightingButton_);
    column->addWidget(lightingRow_);

    connect(picker_, &QComboBox::activated, this, [this](int index) {
        if (actions_.onSelectPacs)
            actions_.onSelectPacs(picker_->itemData(index).toUuid());
    });
    connect(rename, &QAction::triggered, this, [this] {
        if (actions_.onRenameRequest)
            actions_.onRenameRequest();
    });
    connect(duplicate, &QAction::triggered, this, [this] {
        if (actions_.onDuplicatePacs)
            actions_.onDuplicatePacs();
    });
    connect(delete_, &QAction::triggered, this, [this] {
        if (actions_.onDeletePacs)
            actions_.onDeletePacs();
    });
    connect(lightingButton_, &QPushButton::clicked, this, [this] {
        const QColor chosen = QColorDialog::getColor(lighting_, this, tr("Lighting"));
        if (chosen.isValid())
            chooseLighting(chosen);
    });
}

void AdminPacsProfileSection::chooseLighting(const QColor& color)
{
    if (actions_.onSetLighting)
        actions_.onSetLighting(color);
}

void AdminPacsProfileSection::render(const Values& values)
{
    showProfiles(*picker_, values.pacsProfiles, values.activePacsId);
    delete_->setEnabled(values.pacsProfiles.size() >= 2);
    lightingRow_->setVisible(values.isRazerDevice);
    lighting_ = colorFromHex(values.lightingHex, values.fallbackLightingHex);
    lightingButton_->setStyleSheet(QStringLiteral("QPushButton { background: %1; border: 1px solid rgba(255,255,255,60); border-radius: 5px; }")
                                       .arg(lighting_.name()));
}

} // namespace velmor
