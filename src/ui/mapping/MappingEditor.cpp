#include "ui/mapping/MappingEditor.h"

#include "core/AppModel.h"
#include "input/UnifiedInputSource.h"
#include "platform/MainQueue.h"
#include "platform/Text.h"
#include "store/ProfileStore.h"
#include "ui/mapping/MappingDerivedData.h"

#include <QRandomGenerator>

#include <algorithm>
#include <chrono>

namespace velmor {

namespace {
using namespace std::chrono_literals;

constexpr auto pressHighlight = 400ms;
const QString mappedArrow = QStringLiteral(" → ");
const QString swappedArrow = QStringLiteral(" ↔ ");
const QString replaceButton = QStringLiteral("Replace");
const QString clearButton = QStringLiteral("Clear");
const QString cancelButton = QStringLiteral("Cancel");
} // namespace

MappingEditor::MappingEditor(AppModel& model, Prompter& prompter, Toast toast, std::function<void()> changed)
    : model_(model), prompter_(prompter), toast_(std::move(toast)), changed_(std::move(changed))
{
}

MappingEditor::~MappingEditor() { *alive_ = false; }

Device MappingEditor::activeDevice() const { return model_.inputSource().activeDevice().get(); }

QUuid MappingEditor::activeUserId() const { return model_.profileStore().activeUserProfile().id; }

void MappingEditor::setMapping(const QString& deviceId, const QString& buttonId, const QUuid& toolId)
{
    model_.profileStore().setMapping(deviceId, buttonId, toolId, activeUserId());
}

void MappingEditor::handleButtonPress(const DeviceButtonEvent& event)
{
    if (event.deviceId != activeDevice().id)
        model_.selectDevice(event.deviceId);
    if (event.deviceId != activeDevice().id)
        return; // a device that cannot be made active
    values_.selectedButtonId = event.buttonId;
    values_.pressedButtonId = event.buttonId;
    values_.lastPressedButtonId = event.buttonId;
    changed_();
    // Each press ends its own highlight; a later press of another button is left alone.
    afterOnMain(pressHighlight, [this, alive = alive_, buttonId = event.buttonId] {
        if (!*alive || values_.pressedButtonId != buttonId)
            return;
        values_.pressedButtonId.reset();
        changed_();
    }).release();
}

void MappingEditor::selectButton(const QString& buttonId)
{
    values_.selectedButtonId = buttonId;
    changed_();
}

void MappingEditor::selectTool(const RadiologyTool& tool)
{
    values_.selectedToolId = tool.id;
    changed_();
    if (!values_.selectedButtonId)
        return;
    DeviceButtonEvent event;
    event.deviceId = activeDevice().id;
    event.buttonId = *values_.selectedButtonId;
    event.isPressed = true;
    event.supportsHoldRepeat = true;
    assignTool(tool, event);
}

void MappingEditor::assignTool(const RadiologyTool& tool, const DeviceButtonEvent& event)
{
    const UserProfile user = model_.profileStore().activeUserProfile();
    const auto other = std::find_if(user.mappings.cbegin(), user.mappings.cend(), [&](const ButtonMapping& m) {
        return m.buttonId == event.buttonId && m.deviceId == event.deviceId && m.toolId != tool.id;
    });
    if (other != user.mappings.cend()) {
        // A tool the PACS profile no longer has counts as a free button.
        if (const std::optional<RadiologyTool> existing = mappingData::toolById(model_.activePacsProfile(), other->toolId)) {
            values_.conflictPrompt = ConflictPrompt{event, *existing, tool};
            changed_();
            if (prompter_.ask(replaceQuestion(*values_.conflictPrompt)).button == replaceButton)
                confirmReplace();
            values_.conflictPrompt.reset();
            changed_();
            return;
        }
    }
    applyMapping(event, tool.id);
    toast_(QStringLiteral("Mapped ") + text::displayName(event.buttonId) + mappedArrow + text::displayName(tool.name));
}

void MappingEditor::confirmReplace()
{
    // Gone when another profile became active while the question was open.
    if (values_.conflictPrompt)
        applyMapping(values_.conflictPrompt->event, values_.conflictPrompt->newTool.id);
}

void MappingEditor::applyMapping(const DeviceButtonEvent& event, const QUuid& toolId)
{
    const UserProfile user = model_.profileStore().activeUserProfile();
    const auto previous = std::find_if(user.mappings.cbegin(), user.mappings.cend(), [&](const ButtonMapping& m) {
        return m.deviceId == event.deviceId && m.buttonId == event.buttonId;
    });
    values_.lastMappingBackup = LastMapping{event.deviceId, event.buttonId,
                                     previous == user.mappings.cend() ? std::nullopt : std::optional(*previous)};
    setMapping(event.deviceId, event.buttonId, toolId);
    values_.selectedButtonId = event.buttonId;
    changed_();
}

void MappingEditor::toggleFavorite(const RadiologyTool& tool)
{
    RadiologyTool copy = tool;
    copy.isFavorite = !copy.isFavorite;
    model_.profileStore().upsertTool(copy, model_.activePacsProfile().id);
}

std::optional<ButtonMapping> MappingEditor::mappingForButton(const std::optional<QString>& buttonId) const
{
    const UserProfile user = model_.profileStore().activeUserProfile();
    return mappingData::mappingForButton(mappingData::activeMappings(user, activeDevice().id), buttonId);
}

void MappingEditor::swapMappings()
{
    const std::optional<ButtonMapping> current = mappingForButton(values_.selectedButtonId);
    if (!current) {
        toast_(QStringLiteral("Select a mapped button to swap"));
        return;
    }
    if (!values_.swapCandidate) {
        values_.swapCandidate = current;
        changed_();
        toast_(QStringLiteral("Select another mapped button to complete swap"));
        return;
    }
    const ButtonMapping candidate = *values_.swapCandidate;
    values_.swapCandidate.reset();
    changed_();
    if (candidate.buttonId == current->buttonId) {
        toast_(QStringLiteral("Swap cancelled"));
        return;
    }
    // Each side keeps its own device: a candidate armed on another device goes back there.
    setMapping(candidate.deviceId, candidate.buttonId, current->toolId);
    setMapping(current->deviceId, current->buttonId, candidate.toolId);
    toast_(QStringLiteral("Swapped ") + text::displayName(candidate.buttonId) + swappedArrow + text::displayName(current->buttonId));
}

void MappingEditor::copyMapping()
{
    if (!values_.copyBuffer) {
        if (const std::optional<ButtonMapping> source = mappingForButton(values_.selectedButtonId)) {
            values_.copyBuffer = source;
            changed_();
            toast_(QStringLiteral("Copied mapping from ") + text::displayName(source->buttonId));
        } else {
            toast_(QStringLiteral("Select a mapped button to copy"));
        }
        return;
    }
    if (!values_.selectedButtonId) {
        toast_(QStringLiteral("Select a target button to apply"));
        return;
    }
    const QString target = *values_.selectedButtonId;
    setMapping(activeDevice().id, target, values_.copyBuffer->toolId);
    toast_(QStringLiteral("Applied mapping to ") + text::displayName(target));
    values_.copyBuffer.reset();
    changed_();
}

void MappingEditor::confirmClearAllMappings()
{
    values_.showClearMappingsConfirm = true;
    changed_();
    const bool clear = prompter_.ask(clearQuestion(activeDevice())).button == clearButton;
    values_.showClearMappingsConfirm = false;
    changed_();
    if (clear)
        clearAllMappings();
}

void MappingEditor::clearAllMappings()
{
    const Device device = activeDevice();
    model_.profileStore().clearMappings(device.id, activeUserId());
    toast_(QStringLiteral("Cleared all mappings for ") + text::displayName(device.name));
    forgetEdits();
}

void MappingEditor::undoLastMapping()
{
    if (!values_.lastMappingBackup)
        return;
    const LastMapping record = *std::exchange(values_.lastMappingBackup, std::nullopt);
    if (!record.previous)
        model_.profileStore().removeMapping(record.deviceId, record.buttonId, activeUserId());
    else
        setMapping(record.previous->deviceId, record.previous->buttonId, record.previous->toolId);
    changed_();
    toast_(QStringLiteral("Reverted mapping for ") + text::displayName(record.buttonId));
}

void MappingEditor::loadExampleMappings()
{
    QList<RadiologyTool> tools;
    const PacsProfile pacs = model_.activePacsProfile();
    std::copy_if(pacs.tools.cbegin(), pacs.tools.cend(), std::back_inserter(tools),
                 [](const RadiologyTool& tool) { return tool.shortcut.has_value(); });
    if (tools.isEmpty()) {
        toast_(QStringLiteral("No tools with shortcuts to load"));
        return;
    }
    const Device device = activeDevice();
    if (device.buttons.isEmpty()) {
        toast_(QStringLiteral("No buttons on ") + text::displayName(device.name) +
               QStringLiteral(" to load example mappings onto"));
        return;
    }
    std::shuffle(tools.begin(), tools.end(), *QRandomGenerator::global());
    for (qsizetype i = 0; i < device.buttons.size(); ++i)
        setMapping(device.id, device.buttons.at(i).id, tools.at(i % tools.size()).id);
    toast_(QStringLiteral("Loaded example mappings"));
}

void MappingEditor::removeMapping(const ButtonMapping& mapping)
{
    model_.profileStore().removeMapping(mapping.deviceId, mapping.buttonId, activeUserId());
}

void MappingEditor::selectFirstTool()
{
    values_.selectedToolId = mappingData::firstEnabledToolId(model_.activePacsProfile());
    changed_();
}

void MappingEditor::deselectButton()
{
    values_.selectedButtonId.reset();
    changed_();
}

void MappingEditor::forgetEdits()
{
    values_.lastMappingBackup.reset();
    values_.copyBuffer.reset();
    values_.swapCandidate.reset();
    changed_();
}

void MappingEditor::followProfileChange()
{
    selectFirstTool();
    deselectButton();
    forgetEdits();
    values_.conflictPrompt.reset();
    changed_();
}

void MappingEditor::followDeviceChange(const Device& device)
{
    if (!values_.selectedButtonId)
        return;
    const bool present = std::any_of(device.buttons.cbegin(), device.buttons.cend(),
                                     [&](const DeviceButton& button) { return button.id == *values_.selectedButtonId; });
    if (!present)
        deselectButton();
}

Prompter::Question MappingEditor::replaceQuestion(const ConflictPrompt& prompt)
{
    const QString existing = text::displayName(prompt.existingTool.name);
    const QString replacement = text::displayName(prompt.newTool.name);
    return {QStringLiteral("Replace mapping?"),
            text::displayName(prompt.event.buttonId) + QStringLiteral(" is currently mapped to ") + existing +
                QStringLiteral(". Replace with ") + replacement + QStringLiteral("?"),
            {{replaceButton, Prompter::Role::destructive}, {cancelButton, Prompter::Role::cancel}},
            std::nullopt,
            {},
            {existing, replacement}};
}

Prompter::Question MappingEditor::clearQuestion(const Device& device)
{
    const QString name = text::displayName(device.name);
    return {QStringLiteral("Clear all mappings?"),
            QStringLiteral("This will remove all mappings for ") + name + QStringLiteral("."),
            {{clearButton, Prompter::Role::destructive}, {cancelButton, Prompter::Role::cancel}},
            std::nullopt,
            {},
            {name}};
}

} // namespace velmor
