#include "ui/mapping/widgets/ContextPanelProfiles.h"

#include "model/HexColor.h"
#include "ui/mapping/widgets/PanelHeader.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/MenuColours.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/ElidingComboBox.h"
#include "ui/shared/widgets/NiceButton.h"
#include "ui/shared/widgets/ThemeStyle.h"

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

void paintSwatch(QPushButton& button, const QColor& colour)
{
    button.setStyleSheet(QStringLiteral("QPushButton { background: %1; border: 1px solid rgba(255,255,255,0.35);"
                                        " border-radius: 6px; }")
                             .arg(colour.name()));
}

} // namespace

// "User Profile": the picker with rename and delete, and "New Profile".
class ProfilesUserSection : public QWidget {
public:
    explicit ProfilesUserSection(const ContextPanelProfiles::Actions& actions)
    {
        auto* layout = column(this, 10);
        layout->addWidget(sectionTitle(QStringLiteral("User Profile")));
        auto* pickerRow = row(8);
        users_ = new ElidingComboBox;
        users_->setObjectName(QStringLiteral("userPicker"));
        users_->setAccessibleName(QStringLiteral("User"));
        users_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        QObject::connect(users_, &QComboBox::activated, this,
                         [this, select = actions.onSelectUser](int index) { select(users_->itemData(index).toUuid()); });
        auto* rename = iconButton("renameUser", "pencil", "Rename profile");
        QObject::connect(rename, &QAbstractButton::clicked, this, actions.onRenameUser);
        auto* remove = iconButton("deleteUser", "trash", "Delete profile");
        QObject::connect(remove, &QAbstractButton::clicked, this, actions.onDeleteUser);
        pickerRow->addWidget(users_, 1);
        pickerRow->addWidget(rename);
        pickerRow->addWidget(remove);
        layout->addLayout(pickerRow);
        auto* create = new NiceButton(QStringLiteral("person.crop.circle.badge.plus"), QStringLiteral("New Profile"),
                                      {Theme::accentCyan()});
        create->setObjectName(QStringLiteral("newUser"));
        QObject::connect(create, &QAbstractButton::clicked, this, actions.onNewUser);
        layout->addWidget(create, 0, Qt::AlignLeft);
    }

    void setProfiles(const QList<UserProfile>& userProfiles, const QUuid& activeUserId)
    {
        showProfiles(*users_, userProfiles, activeUserId);
    }

private:
    ElidingComboBox* users_;
};

// "PACS": the picker of the PACS profile the active user profile is bound to.
class ProfilesPacsSection : public QWidget {
public:
    explicit ProfilesPacsSection(const ContextPanelProfiles::Actions& actions)
    {
        auto* layout = column(this, 10);
        layout->addWidget(sectionTitle(QStringLiteral("PACS")));
        pacs_ = new ElidingComboBox;
        pacs_->setObjectName(QStringLiteral("pacsPicker"));
        pacs_->setAccessibleName(QStringLiteral("PACS"));
        QObject::connect(pacs_, &QComboBox::activated, this,
                         [this, select = actions.onSelectPacs](int index) { select(pacs_->itemData(index).toUuid()); });
        layout->addWidget(pacs_);
    }

    void setProfiles(const QList<PacsProfile>& pacsProfiles, const QUuid& activePacsId)
    {
        showProfiles(*pacs_, pacsProfiles, activePacsId);
    }

private:
    ElidingComboBox* pacs_;
};

// "Lighting": the keypad's colour, as a colour button, preset swatches and a
// typed hex text, and "Use PACS Default".
class ProfilesLightingSection : public QWidget {
public:
    ProfilesLightingSection(const ContextPanelProfiles::Actions& actions, std::function<bool(const QString&)> onHexText)
        : onLightingChange_(actions.onLightingChange), onHexText_(std::move(onHexText))
    {
        setObjectName(QStringLiteral("lighting"));
        auto* layout = column(this, 8);
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
                onLightingChange_(chosen);
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
        for (const QString& hex : ContextPanelProfiles::presetColours()) {
            auto* swatch = new QPushButton;
            swatch->setObjectName(QStringLiteral("preset-") + hex.mid(1));
            swatch->setFixedSize(22, 22);
            swatch->setToolTip(hex);
            paintSwatch(*swatch, QColor(hex));
            QObject::connect(swatch, &QAbstractButton::clicked, this, [this, hex] { onLightingChange_(QColor(hex)); });
            presets->addWidget(swatch);
        }
        presets->addStretch();
        layout->addLayout(presets);

        usePacsDefault_ = new PaddedButton(QStringLiteral("Use PACS Default"));
        usePacsDefault_->setObjectName(QStringLiteral("usePacsDefault"));
        QObject::connect(usePacsDefault_, &QAbstractButton::clicked, this, actions.onUsePacsDefault);
        layout->addWidget(usePacsDefault_, 0, Qt::AlignLeft);
    }

    void setColours(const std::optional<QString>& lightingHex, const std::optional<QString>& pacsLightingHex)
    {
        const QColor colour = colorFromHex(lightingHex, pacsLightingHex);
        if (colour != shownColour_)
            paintSwatch(*accent_, colour);
        shownColour_ = colour;
        // A field being typed into keeps its text (a refused one stays marked).
        if (!hex_->hasFocus()) {
            const QSignalBlocker blocker(hex_);
            hex_->setText(hexString(colour).value_or(QString()));
            setTextColour(hex_, Theme::textPrimary());
        }
        usePacsDefault_->setEnabled(lightingHex.has_value());
    }

private:
    void submitHex()
    {
        const QString text = hex_->text();
        if (text == hexString(shownColour_).value_or(QString()))
            return;
        if (!onHexText_(text))
            setTextColour(hex_, Theme::accentRed()); // refused: the stored colour stays
    }

    std::function<void(const QColor&)> onLightingChange_;
    std::function<bool(const QString&)> onHexText_;
    QPushButton* accent_;
    QLineEdit* hex_;
    QPushButton* usePacsDefault_;
    QColor shownColour_;
};

// "Import / Export": one menu of the four file actions.
class ProfilesImportExportSection : public QWidget {
public:
    explicit ProfilesImportExportSection(const ContextPanelProfiles::Actions& actions)
    {
        auto* layout = column(this, 10);
        layout->addWidget(sectionTitle(QStringLiteral("Import / Export")));
        auto* menuButton = new NiceButton(QStringLiteral("arrow.up.arrow.down"), QStringLiteral("Import/Export"),
                                          {Theme::surface()});
        menuButton->setObjectName(QStringLiteral("importExport"));
        auto* menu = new QMenu(menuButton);
        // The style draws its divider in a shade of the menu itself: one that shows.
        menu->setStyleSheet(QStringLiteral("QMenu::separator { height: 1px; margin: 4px 8px; background: %1; }")
                                .arg(MenuColours::of(menu->palette()).divider.name()));
        auto item = [&](const char* name, const QString& title, const std::function<void()>& action) {
            QAction* added = menu->addAction(title);
            added->setObjectName(QString::fromLatin1(name));
            QObject::connect(added, &QAction::triggered, this, action);
        };
        item("importUser", QStringLiteral("Import User Profile…"), actions.importUser);
        item("exportUser", QStringLiteral("Export Active User Profile…"), actions.exportUser);
        menu->addSeparator();
        item("importPacs", QStringLiteral("Import PACS Profile…"), actions.importPacs);
        item("exportPacs", QStringLiteral("Export Active PACS Profile…"), actions.exportPacs);
        menuButton->setMenu(menu);
        layout->addWidget(menuButton, 0, Qt::AlignLeft);
    }
};

const QStringList& ContextPanelProfiles::presetColours()
{
    static const QStringList colours{QStringLiteral("#7800D1"), QStringLiteral("#33B8ED"), QStringLiteral("#33BD75"),
                                     QStringLiteral("#FAA838"), QStringLiteral("#ED4D5C"), QStringLiteral("#FFFFFF")};
    return colours;
}

ContextPanelProfiles::ContextPanelProfiles(MappingController& controller, Actions actions, QWidget* parent)
    : ScrollPanel(parent), controller_(controller), actions_(std::move(actions))
{
    body()->addWidget(new PanelHeader(QStringLiteral("Profiles"), QStringLiteral("User + PACS")));
    user_ = new ProfilesUserSection(actions_);
    body()->addWidget(user_);
    body()->addWidget(divider());
    pacs_ = new ProfilesPacsSection(actions_);
    body()->addWidget(pacs_);
    lightingDivider_ = divider();
    body()->addWidget(lightingDivider_);
    lighting_ = new ProfilesLightingSection(actions_, [this](const QString& text) {
        return controller_.setLightingHexText(text);
    });
    body()->addWidget(lighting_);
    body()->addWidget(divider());
    body()->addWidget(new ProfilesImportExportSection(actions_));
    body()->addStretch();

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

void ContextPanelProfiles::render(const MappingController::State& state)
{
    user_->setProfiles(state.userProfiles, state.activeUserProfileId);
    // The picker follows the user profile's binding, not the store's own active PACS id.
    pacs_->setProfiles(state.pacsProfiles, state.activeUserProfile.pacsProfileId);
    const bool keypad = state.isRazerDevice();
    lighting_->setVisible(keypad);
    lightingDivider_->setVisible(keypad);
    lighting_->setColours(state.activeUserProfile.lightingHex, state.activePacsProfile.defaultLightingHex);
}

} // namespace velmor
