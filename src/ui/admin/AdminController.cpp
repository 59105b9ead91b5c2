#include "ui/admin/AdminController.h"

#include "input/UnifiedInputSource.h"
#include "model/HexColor.h"
#include "model/ProfileTemplates.h"
#include "platform/Text.h"
#include "store/ProfileLookup.h"
#include "store/ProfileStore.h"
#include "ui/admin/PacsDeletion.h"
#include "ui/shared/Prompter.h"
#include "ui/shared/ToolIcon.h"

#include <algorithm>
#include <cmath>

namespace velmor {

namespace {

RadiologyTool newTool(const QString& name, const QString& symbol)
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = name;
    tool.systemIcon = symbol;
    tool.iconSource = ToolIconSource::system;
    tool.enabled = true;
    tool.repeatOnHoldEnabled = false;
    tool.repeatSpeed = 0.5;
    tool.isFavorite = false;
    tool.category = ToolCategory::viewer;
    return tool;
}

} // namespace

AdminController::AdminController(AppModel& appModel, Prompter& prompter)
    : AdminController(Sources{appModel.profileStore(), appModel.inputSource().activeDevice(), appModel.alertMessage(),
                              [&appModel](const QUuid& id) { appModel.dismissAlert(id); }},
                      prompter)
{
}

AdminController::AdminController(Sources sources, Prompter& prompter)
    : store_(sources.store),
      activeDevice_(sources.activeDevice),
      alertMessage_(sources.alertMessage),
      dismissAlert_(std::move(sources.dismissAlert)),
      prompter_(prompter),
      state_([this] { return compute(); })
{
    refreshForActivePacs();
    state_.watch(store_.pacsProfiles());
    state_.watch(store_.activePacsProfileId());
    state_.watch(activeDevice_);
    state_.watch(alertMessage_);
    bool initial = true;
    subscriptions_.push_back(store_.activePacsProfileId().subscribe([this, initial](const QUuid&) mutable {
        if (!std::exchange(initial, false))
            refreshForActivePacs();
    }));
    subscriptions_.push_back(alertMessage_.subscribe(
        [this](const std::optional<AlertMessage>& alert) { scheduleToastDismiss(alert); }));
    state_.refreshNow();
}

AdminController::~AdminController() { *alive_ = false; }

AdminController::State AdminController::compute() const
{
    State state;
    state.pacsProfiles = store_.pacsProfiles().get();
    state.activePacs = store_.activePacsProfile();
    state.canDeletePacs = state.pacsProfiles.size() >= 2;
    state.isRazerDevice = activeDevice_.get().id == Device::tartarusTemplate().id;
    state.lightingHex = state.activePacs.defaultLightingHex;
    state.fallbackLightingHex = ProfileTemplates::defaultLightingHex(state.activePacs.name);
    state.searchText = searchText_;
    state.filteredTools = filteredTools(state.activePacs);
    state.selectedToolId = selectedToolId_;
    if (selectedToolId_)
        if (const RadiologyTool* tool = findById(state.activePacs.tools, *selectedToolId_))
            state.selectedTool = *tool;
    state.canEditTool = state.selectedTool.has_value();
    state.advancedExpanded = advancedExpanded_;
    state.toggleEditorOpen = toggleEditor_ != nullptr;
    state.toggleEditorSerial = toggleEditorSerial_;
    state.alert = alertMessage_.get();
    return state;
}

std::optional<PacsProfile> AdminController::shownPacs() const
{
    if (const PacsProfile* stored = findById(store_.pacsProfiles().get(), state_.get().activePacs.id))
        return *stored;
    return std::nullopt;
}

QList<RadiologyTool> AdminController::filteredTools(const PacsProfile& profile) const
{
    if (searchText_.isEmpty())
        return profile.tools;
    QList<RadiologyTool> tools;
    for (const RadiologyTool& tool : profile.tools)
        if (tool.name.contains(searchText_, Qt::CaseInsensitive))
            tools.append(tool);
    return tools;
}

void AdminController::select(std::optional<QUuid> toolId)
{
    if (toolId == selectedToolId_)
        return;
    selectedToolId_ = toolId;
    // The "Advanced" group opens for a tool that repeats on hold, each time another tool is selected.
    const PacsProfile active = store_.activePacsProfile();
    const RadiologyTool* tool = toolId ? findById(active.tools, *toolId) : nullptr;
    advancedExpanded_ = tool && tool->repeatOnHoldEnabled;
    changed();
}

void AdminController::refreshForActivePacs()
{
    renamePacsName_ = store_.activePacsProfile().name;
    ensureValidSelection();
}

void AdminController::ensureValidSelection()
{
    const QList<RadiologyTool> tools = filteredTools(store_.activePacsProfile());
    if (selectedToolId_ && findById(tools, *selectedToolId_))
        return;
    select(tools.isEmpty() ? std::nullopt : std::optional<QUuid>(tools.first().id));
}

// --- Tool list

void AdminController::setSearchText(const QString& text)
{
    searchText_ = text;
    ensureValidSelection();
    changed();
}

void AdminController::selectTool(const QUuid& toolId) { select(toolId); }

void AdminController::createTool()
{
    const RadiologyTool tool = newTool(QStringLiteral("New Tool"), QStringLiteral("wrench.and.screwdriver"));
    store_.upsertTool(tool, state_.get().activePacs.id);
    select(tool.id);
}

void AdminController::createToggle()
{
    RadiologyTool tool = newTool(QStringLiteral("New Toggle"), QStringLiteral("arrow.2.squarepath"));
    tool.toggleShortcuts = QList<KeyboardShortcut>{};
    openToggleEditor(tool, true);
}

void AdminController::duplicateSelectedTool()
{
    const auto pacs = shownPacs();
    const RadiologyTool* selected = pacs && selectedToolId_ ? findById(pacs->tools, *selectedToolId_) : nullptr;
    if (!selected)
        return;
    RadiologyTool copy = *selected;
    copy.id = QUuid::createUuid();
    copy.name = selected->name + QStringLiteral(" Copy");
    copy.repeatSpeed = std::clamp(copy.repeatSpeed, 0.0, 1.0);
    store_.upsertTool(copy, pacs->id);
    select(copy.id);
}

void AdminController::requestDeleteTool()
{
    const auto pacs = shownPacs();
    const RadiologyTool* selected = pacs && selectedToolId_ ? findById(pacs->tools, *selectedToolId_) : nullptr;
    if (!selected)
        return;
    // The question may wait for the user while the store changes: keep what was asked about.
    const QUuid toolId = selected->id;
    const QUuid pacsId = pacs->id;
    Prompter::Question question;
    question.title = QStringLiteral("Delete tool?");
    const QString name = text::displayName(selected->name);
    question.message = QStringLiteral("This will remove %1 and clear any mappings that use it.").arg(name);
    question.names = {name};
    question.buttons = {{QStringLiteral("Delete"), Prompter::Role::destructive},
                        {QStringLiteral("Cancel"), Prompter::Role::cancel}};
    if (prompter_.ask(question).button == QLatin1String("Delete"))
        deleteSelectedTool(toolId, pacsId);
}

void AdminController::deleteSelectedTool(const QUuid& toolId, const QUuid& pacsId)
{
    store_.deleteTool(toolId, pacsId);
    ensureValidSelection();
    changed();
}

void AdminController::setToolEnabled(const QUuid& toolId, bool enabled)
{
    editTool(state_.get().activePacs.id, toolId, [enabled](RadiologyTool& tool) { tool.enabled = enabled; });
}

// --- Inspector

void AdminController::editTool(const QUuid& pacsId, const QUuid& toolId,
                               const std::function<void(RadiologyTool&)>& change)
{
    const PacsProfile* pacs = findById(store_.pacsProfiles().get(), pacsId);
    const RadiologyTool* stored = pacs ? findById(pacs->tools, toolId) : nullptr;
    if (!stored)
        return;
    RadiologyTool tool = *stored;
    change(tool);
    store_.updateTool(tool, pacsId);
}

void AdminController::editSelected(const std::function<void(RadiologyTool&)>& change)
{
    if (selectedToolId_)
        editTool(state_.get().activePacs.id, *selectedToolId_, change);
}

void AdminController::setName(const QString& name)
{
    editSelected([&](RadiologyTool& tool) { tool.name = name; });
}

void AdminController::setEnabled(bool enabled)
{
    editSelected([&](RadiologyTool& tool) { tool.enabled = enabled; });
}

void AdminController::setCategory(ToolCategory category)
{
    editSelected([&](RadiologyTool& tool) { tool.category = category; });
}

void AdminController::setRepeatOnHold(bool enabled)
{
    editSelected([&](RadiologyTool& tool) { tool.repeatOnHoldEnabled = enabled; });
}

void AdminController::setRepeatSpeed(double speed)
{
    editSelected([&](RadiologyTool& tool) { tool.repeatSpeed = std::isnan(speed) ? 0.0 : std::clamp(speed, 0.0, 1.0); });
}

void AdminController::setShortcut(const std::optional<KeyboardShortcut>& shortcut)
{
    if (selectedToolId_)
        store_.setShortcut(shortcut, *selectedToolId_, state_.get().activePacs.id);
}

void AdminController::applyIconSelection(const ToolIconSelection& selection)
{
    editSelected([&](RadiologyTool& tool) {
        if (selection.source == ToolIconSource::system) {
            tool.systemIcon = selection.name;
            tool.iconSource = ToolIconSource::system;
            tool.customIcon.reset();
        } else {
            tool.iconSource = ToolIconSource::custom;
            tool.customIcon = selection.name;
        }
    });
}

void AdminController::setAdvancedExpanded(bool expanded)
{
    advancedExpanded_ = expanded;
    changed();
}

std::optional<KeyboardShortcut> AdminController::selectedShortcut() const
{
    const auto pacs = shownPacs();
    const RadiologyTool* tool = pacs && selectedToolId_ ? findById(pacs->tools, *selectedToolId_) : nullptr;
    return tool ? tool->shortcut : std::nullopt;
}

std::optional<ToolIconSelection> AdminController::selectedIconSelection() const
{
    const auto pacs = shownPacs();
    const RadiologyTool* tool = pacs && selectedToolId_ ? findById(pacs->tools, *selectedToolId_) : nullptr;
    return tool ? std::optional<ToolIconSelection>(toolIconSelection(*tool)) : std::nullopt;
}

// --- Toggle editor

void AdminController::openToggleEditor(const RadiologyTool& tool, bool isNew)
{
    toggleEditor_ = std::make_shared<ToggleEditorController>(tool, isNew ? QStringLiteral("New Toggle")
                                                                          : QStringLiteral("Edit Toggle"));
    toggleEditor_->onSave = [this, alive = alive_](const RadiologyTool& saved, const QList<KeyboardShortcut>& steps) {
        if (*alive)
            saveToggle(saved, steps);
    };
    toggleEditor_->onCancel = [this, alive = alive_] {
        if (*alive)
            cancelToggleEditor();
    };
    toggleEditorPacsId_ = state_.get().activePacs.id;
    isNewToggle_ = isNew;
    ++toggleEditorSerial_;
    changed();
}

void AdminController::editToggle()
{
    const auto pacs = shownPacs();
    const RadiologyTool* selected = pacs && selectedToolId_ ? findById(pacs->tools, *selectedToolId_) : nullptr;
    if (selected)
        openToggleEditor(*selected, false);
}

void AdminController::saveToggle(const RadiologyTool& tool, const QList<KeyboardShortcut>& steps)
{
    // What the editor changed goes onto the tool as stored now; the fields it
    // does not edit keep any change made while it was open.
    RadiologyTool result = tool;
    const PacsProfile* pacs = findById(store_.pacsProfiles().get(), toggleEditorPacsId_);
    if (const RadiologyTool* stored = pacs && !isNewToggle_ ? findById(pacs->tools, tool.id) : nullptr) {
        result = *stored;
        result.name = tool.name;
        result.systemIcon = tool.systemIcon;
        result.iconSource = tool.iconSource;
        result.customIcon = tool.customIcon;
        result.repeatOnHoldEnabled = tool.repeatOnHoldEnabled;
        result.repeatSpeed = tool.repeatSpeed;
    }
    result.toggleShortcuts = steps;
    result.shortcut = steps.isEmpty() ? std::nullopt : std::optional<KeyboardShortcut>(steps.first());
    result.enabled = true;
    store_.upsertTool(result, toggleEditorPacsId_);
    select(result.id);
    cancelToggleEditor();
}

void AdminController::cancelToggleEditor()
{
    toggleEditor_.reset();
    isNewToggle_ = false;
    changed();
}

// --- PACS profiles

void AdminController::createPacsProfile()
{
    const QString name = QStringLiteral("PACS %1").arg(store_.pacsProfiles().get().size() + 1);
    store_.createPacsProfile(name);
    renamePacsName_ = name;
    ensureValidSelection();
}

void AdminController::selectPacs(const QUuid& id)
{
    const PacsProfile* profile = findById(store_.pacsProfiles().get(), id);
    if (!profile)
        return;
    const QString name = profile->name;
    store_.selectPacsProfile(id);
    renamePacsName_ = name;
}

void AdminController::beginRenamePacs()
{
    const auto pacs = shownPacs();
    if (!pacs)
        return;
    renamePacsName_ = pacs->name;
    renamePacsId_ = pacs->id;
    Prompter::Question question;
    question.title = QStringLiteral("Rename PACS");
    question.buttons = {{QStringLiteral("Save"), Prompter::Role::normal},
                        {QStringLiteral("Cancel"), Prompter::Role::cancel}};
    question.textPlaceholder = QStringLiteral("PACS Name");
    question.text = renamePacsName_;
    const Prompter::Answer answer = prompter_.ask(question);
    if (answer.button != QLatin1String("Save"))
        return;
    renamePacsName_ = answer.text;
    saveRenamedPacs();
}

void AdminController::saveRenamedPacs()
{
    // The profile the prompt was opened for, even when another became active meanwhile.
    const QString name = renamePacsName_.trimmed();
    if (!name.isEmpty())
        store_.renamePacsProfile(renamePacsId_, name);
}

void AdminController::duplicateActivePacs()
{
    if (const auto pacs = shownPacs()) {
        store_.duplicatePacsProfile(*pacs);
        renamePacsName_ = store_.activePacsProfile().name;
    }
}

void AdminController::deleteActivePacs()
{
    const auto pacs = shownPacs();
    const std::optional<PacsDeletion> deletion =
        pacs ? PacsDeletion::of(pacs->id, store_.pacsProfiles().get(), store_.userProfiles().get()) : std::nullopt;
    if (!deletion)
        return;
    // It takes the tools and the bound users' mappings with it: only on "Delete",
    // and only the profile that was asked about, as stored when the answer came.
    if (prompter_.ask(deletion->question()).button != QLatin1String("Delete"))
        return;
    if (const PacsProfile* stored = findById(store_.pacsProfiles().get(), deletion->pacsId)) {
        store_.deletePacsProfile(PacsProfile(*stored));
        renamePacsName_ = store_.activePacsProfile().name;
    }
}

void AdminController::setLighting(const QColor& color)
{
    if (const std::optional<QString> hex = hexString(color))
        store_.setDefaultLightingHex(hex, state_.get().activePacs.id);
}

// --- Alerts

void AdminController::dismissAlert()
{
    if (const auto& shown = state_.get().alert)
        dismissAlert_(shown->id);
}

void AdminController::scheduleToastDismiss(const std::optional<AlertMessage>& alert)
{
    if (!alert) {
        timedAlertId_.reset();
        alertTimer_.cancel();
        return;
    }
    if (timedAlertId_ == alert->id)
        return;
    // Each alert gets its own full time; its timer clears only that alert.
    timedAlertId_ = alert->id;
    alertTimer_ = afterOnMain(alertDuration, [this, id = alert->id] { dismissAlert_(id); });
}

} // namespace velmor
