#pragma once

#include "input/DeviceButtonEvent.h"
#include "model/ButtonMapping.h"
#include "model/Device.h"
#include "model/RadiologyTool.h"
#include "ui/mapping/MappingTypes.h"
#include "ui/shared/Prompter.h"

#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace velmor {

class AppModel;

// The editing core of the mapping window: the button selected by a press or a
// click, assigning the picked tool with the "Replace mapping?" question, the
// one-step undo record, the two-step swap and copy, clear all, example mappings.
// Every edit fetches the active user profile anew and changes it only through
// the profile store. Main thread only.
class MappingEditor {
public:
    using Toast = std::function<void(const QString&)>;

    // `toast` shows the outcome of an action; `changed` is called after every
    // change of the values below.
    MappingEditor(AppModel& model, Prompter& prompter, Toast toast, std::function<void()> changed);
    ~MappingEditor();
    MappingEditor(const MappingEditor&) = delete;
    MappingEditor& operator=(const MappingEditor&) = delete;

    // What the editor keeps of the window's state.
    struct Values {
        std::optional<QString> selectedButtonId;    // target of the next tool pick
        std::optional<QString> pressedButtonId;     // glows for 0.4 s after a hardware press
        std::optional<QString> lastPressedButtonId;
        std::optional<QUuid> selectedToolId;        // highlighted in the tool list
        std::optional<ConflictPrompt> conflictPrompt; // while "Replace mapping?" is asked
        std::optional<LastMapping> lastMappingBackup; // the one-step undo record
        std::optional<ButtonMapping> swapCandidate; // the first half of a swap
        std::optional<ButtonMapping> copyBuffer;    // a copy waiting to be applied
        bool showClearMappingsConfirm = false;      // while "Clear all mappings?" is asked
    };

    const Values& values() const { return values_; }

    // A hardware press: makes its device active when needed and selects the
    // button; never assigns. A press of a device that cannot be made active is ignored.
    void handleButtonPress(const DeviceButtonEvent& event);
    // A click on the canvas: selects the button, nothing more.
    void selectButton(const QString& buttonId);
    // Selects the tool and, with a button selected, assigns it to that button.
    void selectTool(const RadiologyTool& tool);
    // Asks "Replace mapping?" when the button holds another tool the active PACS
    // profile still has; otherwise writes the mapping and toasts it.
    void assignTool(const RadiologyTool& tool, const DeviceButtonEvent& event);
    // Writes one mapping and keeps the button's previous mapping as the undo record.
    void applyMapping(const DeviceButtonEvent& event, const QUuid& toolId);
    void toggleFavorite(const RadiologyTool& tool);
    // The first mapping of the active device on that button.
    std::optional<ButtonMapping> mappingForButton(const std::optional<QString>& buttonId) const;
    // One click of the swap quick action: arms, cancels or completes a swap.
    void swapMappings();
    // One click of the copy quick action: copies, or applies the copy to the selected button.
    void copyMapping();
    // Asks "Clear all mappings?" and clears on "Clear".
    void confirmClearAllMappings();
    // Removes the active device's mappings; forgets undo, copy and swap.
    void clearAllMappings();
    void undoLastMapping();
    // Maps every button of the active device to the profile's tools with a
    // shortcut, shuffled and used in turn.
    void loadExampleMappings();
    // Removes every mapping of that row's device button.
    void removeMapping(const ButtonMapping& mapping);

    // Window events.
    // Selects the first enabled tool of the active PACS profile, or none.
    void selectFirstTool();
    void deselectButton();
    // Forgets the undo record, the copy buffer and the swap candidate.
    void forgetEdits();
    // Another user or PACS profile became active: nothing picked or kept under
    // the old one may be applied to the new one.
    void followProfileChange();
    // A button the new active device lacks is no longer selected.
    void followDeviceChange(const Device& device);

    // The questions asked, for the views that draw them the same way.
    static Prompter::Question replaceQuestion(const ConflictPrompt& prompt);
    static Prompter::Question clearQuestion(const Device& device);

private:
    Device activeDevice() const;
    QUuid activeUserId() const;
    void setMapping(const QString& deviceId, const QString& buttonId, const QUuid& toolId);
    void confirmReplace();

    AppModel& model_;
    Prompter& prompter_;
    Toast toast_;
    std::function<void()> changed_;

    Values values_;
    // The press highlights' timers run to their end; they do nothing once the editor is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace velmor
