#include "ui/mapping/widgets/ProfilesPanel.h"

#include "model/HexColor.h"
#include "ui/mapping/widgets/PanelHeader.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/NiceButton.h"

#include <QColorDialog>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace velmor {

using namespace mappingViews;

namespace {

QToolButton* iconButton(const char* name, const char* symbol, const char* help)
{
    auto* button = new QToolButton;
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(SymbolIcons::instance().icon(QString::fromLatin1(symbol), Qt::white));
    button->setToolTip(QString::fromLatin1(help));
    return button;
}

// Puts `entries` (id, name) into a picker when they changed, and selects `current`
// (nothing when no entry has it).
void fillPicker(QComboBox& picker, const QList<std::pair<QUuid, QString>>& entries, const QUuid& current)
{
    const QSignalBlocker blocker(&picker);
    bool same = picker.count() == entries.size();
    for (int i = 0; same && i < picker.count(); ++i)
        same = picker.itemData(i).toUuid() == entries[i].first && picker.itemText(i) == entries[i].second;
    if (!same) {
        picker.clear();
        for (const auto& [id, name] : entries)
            picker.addItem(name, id);
    }
    int index = -1;
    for (int i = 0; i < picker.count() && index < 0; ++i)
        if (picker.itemData(i).toUuid() == current)
            index = i;
    picker.setCurrentIndex(index);
}

void paintSwatch(QPushButton& button, const QColor& colour)
{
    button.setStyleSheet(QStringLiteral("QPushButton { background: %1; border: 1px solid rgba(255,255,255,0.35);"
                                        " border-radius: 6px; }")
                             .arg(colour.name()));
}

} // namespace

const QStringList& ProfilesPanel::presetColours()
{
    static const QStringList colours{QStringLiteral("#7800D1"), QStringLiteral("#33B8ED"), QStringLiteral("#33BD75"),
                                     QStringLiteral("#FAA838"), QStringLiteral("#ED4D5C"), QStringLiteral("#FFFFFF")};
    return colours;
}

ProfilesPanel::ProfilesPanel(MappingController& controller, QWidget* parent) : ScrollPanel(parent), controller_(controller)
{
    body()->addWidget(new PanelHeader(QStringLiteral("Profiles"), QStringLiteral("User + PACS")));

    auto* user = column(10);
    user->addWidget(sectionTitle(QStringLiteral("User Profile")));
    auto* pickerRow = row(8);
    users_ = new QComboBox;
    users_->setObjectName(QStringLiteral("userPicker"));
    users_->setAccessibleName(QStringLiteral("User"));
    users_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QObject::connect(users_, &QComboBox::activated, this,
                     [this](int index) { controller_.selectUserProfile(users_->itemData(index).toUuid()); });
    auto* rename = iconButton("renameUser", "pencil", "Rename profile");
    QObject::connect(rename, &QAbstractButton::clicked, this, [this] { controller_.beginRenameUserProfile(); });
    auto* remove = iconButton("deleteUser", "trash", "Delete profile");
    QObject::connect(remove, &QAbstractButton::clicked, this, [this] { controller_.confirmDeleteUserProfile(); });
    pickerRow->addWidget(users_, 1);
    pickerRow->addWidget(rename);
    pickerRow->addWidget(remove);
    user->addLayout(pickerRow);
    auto* create = new NiceButton(QStringLiteral("person.crop.circle.badge.plus"), QStringLiteral("New Profile"),
                                  {Theme::accentCyan()});
    create->setObjectName(QStringLiteral("newUser"));
    QObject::connect(create, &QAbstractButton::clicked, this, [this] { controller_.beginNewUserProfile(); });
    user->addWidget(create, 0, Qt::AlignLeft);
    body()->addLayout(user);
    body()->addWidget(divider());

    auto* pacs = column(10);
    pacs->addWidget(sectionTitle(QStringLiteral("PACS")));
    pacs_ = new QComboBox;
    pacs_->setObjectName(QStringLiteral("pacsPicker"));
    pacs_->setAccessibleName(QStringLiteral("PACS"));
    QObject::connect(pacs_, &QComboBox::activated, this,
                     [this](int index) { controller_.selectPacsProfile(pacs_->itemData(index).toUuid()); });
    pacs->addWidget(pacs_);
    body()->addLayout(pacs);

    lightingDivider_ = divider();
    body()->addWidget(lightingDivider_);
    lighting_ = lightingSection();
    body()->addWidget(lighting_);
    body()->addWidget(divider());

    auto* exchange = column(10);
    exchange->addWidget(sectionTitle(QStringLiteral("Import / Export")));
    auto* menuButton = new NiceButton(QStringLiteral("arrow.up.arrow.down"), QStringLiteral("Import/Export"),
                                      {Theme::surface()});
    menuButton->setObjectName(QStringLiteral("importExport"));
    auto* menu = new QMenu(menuButton);
    auto item = [&](const char* name, const QString& title, auto action) {
        QAction* added = menu->addAction(title);
        added->setObjectName(QString::fromLatin1(name));
        QObject::connect(added, &QAction::triggered, this, action);
    };
    item("importUser", QStringLiteral("Import User Profile…"), [this] { controller_.importUserProfile(); });
    item("exportUser", QStringLiteral("Export Active User Profile…"), [this] { controller_.exportUserProfile(); });
    menu->addSeparator();
    item("importPacs", QStringLiteral("Import PACS Profile…"), [this] { controller_.importPacsProfile(); });
    item("exportPacs", QStringLiteral("Export Active PACS Profile…"), [this] { controller_.exportPacsProfile(); });
    menuButton->setMenu(menu);
    exchange->addWidget(menuButton, 0, Qt::AlignLeft);
    body()->addLayout(exchange);
    body()->addStretch();

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

QWidget* ProfilesPanel::lightingSection()
{
    auto* section = new QWidget;
    section->setObjectName(QStringLiteral("lighting"));
    auto* layout = column(section, 8);
    layout->addWidget(sectionTitle(QStringLiteral("Lighting")));

    auto* accentRow = row(8);
    accentRow->addWidget(textLabel(QStringLiteral("Accent"), Style::body, Theme::textPrimary()));
    accent_ = new QPushButton;
    accent_->setObjectName(QStringLiteral("accentColor"));
    accent_->setFixedSize(44, 22);
    accent_->setToolTip(QStringLiteral("Choose a colour"));
    QObject::connect(accent_, &QAbstractButton::clicked, this, [this] {
        const QColor chosen = QColorDialog::getColor(shownColour_, this, QStringLiteral("Accent"));
        if (chosen.isValid())
            controller_.setLightingColor(chosen);
    });
    accentRow->addWidget(accent_);
    hex_ = new QLineEdit;
    hex_->setObjectName(QStringLiteral("lightingHex"));
    hex_->setPlaceholderText(QStringLiteral("#RRGGBB"));
    hex_->setMaxLength(9);
    hex_->setFixedWidth(90);
    QObject::connect(hex_, &QLineEdit::editingFinished, this, [this] { submitHex(); });
    QObject::connect(hex_, &QLineEdit::textEdited, this, [this] { setTextColour(hex_, Theme::textPrimary()); });
    accentRow->addWidget(hex_);
    accentRow->addStretch();
    layout->addLayout(accentRow);

    auto* presets = row(6);
    for (const QString& hex : presetColours()) {
        auto* swatch = new QPushButton;
        swatch->setObjectName(QStringLiteral("preset-") + hex.mid(1));
        swatch->setFixedSize(22, 22);
        swatch->setToolTip(hex);
        paintSwatch(*swatch, QColor(hex));
        QObject::connect(swatch, &QAbstractButton::clicked, this, [this, hex] { controller_.setLightingColor(QColor(hex)); });
        presets->addWidget(swatch);
    }
    presets->addStretch();
    layout->addLayout(presets);

    usePacsDefault_ = new QPushButton(QStringLiteral("Use PACS Default"));
    usePacsDefault_->setObjectName(QStringLiteral("usePacsDefault"));
    QObject::connect(usePacsDefault_, &QAbstractButton::clicked, this, [this] { controller_.usePacsDefaultLighting(); });
    layout->addWidget(usePacsDefault_, 0, Qt::AlignLeft);
    return section;
}

void ProfilesPanel::submitHex()
{
    const QString text = hex_->text();
    if (text == hexString(shownColour_).value_or(QString()))
        return;
    if (!controller_.setLightingHexText(text))
        setTextColour(hex_, Theme::accentRed()); // refused: the stored colour stays
}

void ProfilesPanel::render(const MappingController::State& state)
{
    QList<std::pair<QUuid, QString>> users;
    for (const UserProfile& profile : state.userProfiles)
        users.append({profile.id, profile.name});
    fillPicker(*users_, users, state.activeUserProfileId);
    QList<std::pair<QUuid, QString>> pacs;
    for (const PacsProfile& profile : state.pacsProfiles)
        pacs.append({profile.id, profile.name});
    fillPicker(*pacs_, pacs, state.activeUserProfile.pacsProfileId);

    const bool keypad = state.isRazerDevice();
    lighting_->setVisible(keypad);
    lightingDivider_->setVisible(keypad);
    const std::optional<QString>& own = state.activeUserProfile.lightingHex;
    const QColor colour = colorFromHex(own, state.activePacsProfile.defaultLightingHex);
    if (colour != shownColour_)
        paintSwatch(*accent_, colour);
    shownColour_ = colour;
    // A field being typed into keeps its text (a refused one stays marked).
    if (!hex_->hasFocus()) {
        const QSignalBlocker blocker(hex_);
        hex_->setText(hexString(colour).value_or(QString()));
        setTextColour(hex_, Theme::textPrimary());
    }
    usePacsDefault_->setEnabled(own.has_value());
}

} // namespace velmor
