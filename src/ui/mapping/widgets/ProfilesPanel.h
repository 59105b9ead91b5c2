#pragma once

#include "ui/mapping/MappingController.h"
#include "ui/mapping/widgets/ScrollPanel.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace velmor {

// The profiles mode's panel. User profile: "userPicker", "renameUser",
// "deleteUser", "newUser". PACS: "pacsPicker". Lighting (the keypad only,
// "lighting"): the colour button "accentColor", preset swatches "preset-<hex>",
// the hex field "lightingHex" and "usePacsDefault". "importExport" opens the
// import and export menu.
class ProfilesPanel : public ScrollPanel {
public:
    explicit ProfilesPanel(MappingController& controller, QWidget* parent = nullptr);

    // The swatches offered next to the colour button.
    static const QStringList& presetColours();

private:
    QWidget* lightingSection();
    void render(const MappingController::State& state);
    void submitHex();

    MappingController& controller_;
    QComboBox* users_;
    QComboBox* pacs_;
    QWidget* lighting_;
    QWidget* lightingDivider_;
    QPushButton* accent_;
    QLineEdit* hex_;
    QPushButton* usePacsDefault_;
    QColor shownColour_;
    Subscription subscription_;
};

} // namespace velmor
