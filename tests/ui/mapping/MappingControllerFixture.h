#pragma once

#include "support/AppModelFixture.h"
#include "ui/mapping/MappingController.h"
#include "ui/shared/ScriptedPrompter.h"

#include <memory>

namespace velmor::test {

// A mapping window's controller over the test application model: scripted
// keypad, virtual time, scripted dialogs.
class MappingControllerFixture : public AppModelFixture {
protected:
    MappingControllerFixture()
    {
        start();
        controller = std::make_unique<MappingController>(*model, prompter);
        queue->runUntilIdle();
    }
    ~MappingControllerFixture() override { controller.reset(); }

    // The window's state once every pending change has been taken in.
    const MappingController::State& state()
    {
        queue->runUntilIdle();
        return controller->state().get();
    }

    // A tool of the active PACS profile with a shortcut.
    RadiologyTool tool(const QString& name, ToolCategory category = ToolCategory::viewer)
    {
        RadiologyTool t;
        t.id = QUuid::createUuid();
        t.name = name;
        t.category = category;
        t.shortcut = shortcut(6, "z");
        store().upsertTool(t, model->activePacsProfile().id);
        return t;
    }
    // The tool ids of the active user's mappings of that keypad button, in stored order.
    QList<QUuid> toolsOn(const QString& buttonId, const QString& deviceId = keypad)
    {
        QList<QUuid> ids;
        for (const ButtonMapping& m : activeUser().mappings)
            if (m.deviceId == deviceId && m.buttonId == buttonId)
                ids.append(m.toolId);
        return ids;
    }
    // A press of keypad key K01…K06 on the scripted hardware.
    static hid::Element keypadKey(int number)
    {
        static const QList<std::uint32_t> usages{0x1E, 0x1F, 0x20, 0x21, 0x22, 0x2B};
        return {20u + number, hid::ElementType::inputButton, 7, usages.at(number - 1), false};
    }
    // A connected SpeechMike that Velmor controls, so it can become the active device.
    void plugSpeechMike()
    {
        hid.plug(0x0911, 0x0C1C, QStringLiteral("SpeechMike"));
        queue->runUntilIdle();
        model->inputSource().hidSource().enableControl(0x0911, 0x0C1C);
        queue->runUntilIdle();
    }
    QStringList questionTitles() const { return prompter.questionTitles(); }

    static inline const QString speechMike = QStringLiteral("speechmike_smp3700");

    ScriptedPrompter prompter;
    std::unique_ptr<MappingController> controller;
};

} // namespace velmor::test
