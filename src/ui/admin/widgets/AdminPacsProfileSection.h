#pragma once

#include "model/PacsProfile.h"

#include <QColor>
#include <QWidget>

#include <functional>
#include <optional>

class QAction;
class QPushButton;
class QToolButton;

namespace velmor {

class ElidingComboBox;

// The PACS block of the tool panel: the profile picker, the menu of PACS actions
// and, for the Razer keypad, the profile's default lighting colour.
class AdminPacsProfileSection : public QWidget {
public:
    struct Actions {
        std::function<void(const QUuid&)> onSelectPacs;
        std::function<void()> onRenameRequest;
        std::function<void(const QColor&)> onSetLighting;
        std::function<void()> onDuplicatePacs;
        std::function<void()> onDeletePacs;
    };

    struct Values {
        QList<PacsProfile> pacsProfiles;
        QUuid activePacsId;
        bool isRazerDevice = false;
        std::optional<QString> lightingHex;
        std::optional<QString> fallbackLightingHex;
    };

    explicit AdminPacsProfileSection(Actions actions, QWidget* parent = nullptr);

    void render(const Values& values);
    // The colour the lighting button shows.
    const QColor& lightingColor() const { return lighting_; }
    // Chooses a lighting colour as the colour dialog would.
    void chooseLighting(const QColor& color);

private:
    Actions actions_;
    ElidingComboBox* picker_;
    QToolButton* menuButton_;
    QAction* delete_;
    QWidget* lightingRow_;
    QPushButton* lightingButton_;
    QColor lighting_;
};

} // namespace velmor
