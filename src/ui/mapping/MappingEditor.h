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

    // The target of the next tool pick.
    const std::optional<QString>& selectedButtonId() const { return selectedButtonId_; }
    // Drawn as pressed for 0.4 s after a hardware press.
    const std::optional<QString>& pressedButtonId() const { return pressedButtonId_; }
    const std::optional<QString>& lastPressedButtonId() const { return lastPressedButtonId_; }
    const std::optional<QUuid>& selectedToolId() const { return selectedToolId_; }
    // Set while the "Replace mapping?" question is open.
    const std::optional<ConflictPrompt>& conflictPrompt() const { return conflictPrompt_; }
    const std::optional<LastMapping>& lastMappingBackup() const { return lastMappingBackup_; }
    const std::optional<ButtonMapping>& swapCandidate() const { return swapCandidate_; }
    const std::optional<ButtonMapping>& copyBuffer() const { return copyBuffer_; }
    // Set while the "Clear all mappings?" question is open.
    bool showClearMappingsConfirm() const { return showClearMappingsConfirm_; }

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

    std::optional<QString> selectedButtonId_;
    std::optional<QString> pressedButtonId_;
    std::optional<QString> lastPressedButtonId_;
    std::optional<QUuid> selectedToolId_;
    std::optional<ConflictPrompt> conflictPrompt_;
    std::optional<LastMapping> lastMappingBackup_;
    std::optional<ButtonMapping> swapCandidate_;
    std::optional<ButtonMapping> copyBuffer_;
    bool showClearMappingsConfirm_ = false;
    // The press highlights' timers run to their end; they do nothing once the editor is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace velmor
