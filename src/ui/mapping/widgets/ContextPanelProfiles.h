#pragma once

#include "ui/mapping/MappingController.h"
#include "ui/mapping/widgets/ScrollPanel.h"

#include <functional>

namespace velmor {

class ProfilesImportExportSection;
class ProfilesLightingSection;
class ProfilesPacsSection;
class ProfilesUserSection;

// The profiles mode's panel. User profile: "userPicker", "renameUser",
// "deleteUser", "newUser". PACS: "pacsPicker". Lighting (the keypad only,
// "lighting"): the colour button "accentColor", preset swatches "preset-<hex>",
// the hex field "lightingHex" and "usePacsDefault". "importExport" opens the
// import and export menu.
class ContextPanelProfiles : public ScrollPanel {
public:
    // What the window runs for the panel's controls.
    struct Actions {
        std::function<void(const QUuid& id)> onSelectUser;
        std::function<void()> onNewUser;
        std::function<void()> onRenameUser;
        std::function<void()> onDeleteUser;
        std::function<void(const QUuid& id)> onSelectPacs;
        std::function<void(const QColor& colour)> onLightingChange;
        std::function<void()> onUsePacsDefault;
        std::function<void()> importUser;
        std::function<void()> exportUser;
        std::function<void()> importPacs;
        std::function<void()> exportPacs;
    };

    ContextPanelProfiles(MappingController& controller, Actions actions, QWidget* parent = nullptr);

    // The swatches offered next to the colour button.
    static const QStringList& presetColours();

private:
    void render(const MappingController::State& state);

    MappingController& controller_;
    Actions actions_;
    ProfilesUserSection* user_;
    ProfilesPacsSection* pacs_;
    QWidget* lightingDivider_;
    ProfilesLightingSection* lighting_;
    Subscription subscription_;
};

} // namespace velmor
