// One keystroke in the mapping window's tool search with a PACS profile of 1,000
// tools: the controller takes the text, the window state is computed again on
// the main queue (filter, groups, mappings), and the tool list's rows are
// rebuilt and applied to its item model. The budget is one frame (16 ms).
#include "core/AppModel.h"
#include "platform/LoginItem.h"
#include "platform/Paths.h"
#include "platform/SerialQueue.h"
#include "platform/Settings.h"
#include "platform/VirtualMainQueue.h"
#include "platform/hid/ScriptedHid.h"
#include "platform/keys/RecordingKeyOutput.h"
#include "platform/permissions/ScriptedPermissions.h"
#include "store/ProfileStore.h"
#include "ui/mapping/MappingController.h"
#include "ui/mapping/MappingToolListModel.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace velmor;

namespace {

const char* const words[] = {"Zoom", "Pan", "Window", "Level", "Cine", "Measure", "Angle", "Invert", "Rotate", "Flip"};

struct FilterBench {
    FilterBench()
    {
        paths::setApplicationSupportOverride(folder.path());
        permissions.accessibility = permissions.inputMonitoring = true;
        keys::KeyOutput::setInstance(&output);
        Permissions::setInstance(&permissions);
        LoginItem::setInstance(&loginItem);
        model = std::make_unique<AppModel>();
        queue->runUntilIdle();

        PacsProfile large;
        large.id = QUuid::createUuid();
        large.name = QStringLiteral("Large PACS");
        for (int i = 0; i < 1000; ++i) {
            RadiologyTool tool;
            tool.id = QUuid::createUuid();
            tool.name = QStringLiteral("%1 %2 %3").arg(QString::fromLatin1(words[i % 10]),
                                                        QString::fromLatin1(words[(i / 10) % 10])).arg(i);
            tool.category = allToolCategories[static_cast<std::size_t>(i % 3)];
            tool.isFavorite = i % 50 == 0;
            tool.shortcut = KeyboardShortcut{6, QStringLiteral("z"), KeyboardShortcut::Modifiers::command};
            large.tools.append(tool);
        }
        const QString path = folder.filePath(QStringLiteral("large.json"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(QJsonDocument(large.toJson()).toJson());
        file.close();
        ProfileStore& store = model->profileStore();
        store.importPacsProfile(path);
        queue->runUntilIdle();
        store.setPacsProfile(store.activePacsProfileId().get(), store.activeUserProfile().id);
        queue->runUntilIdle();

        controller = std::make_unique<MappingController>(*model, prompter);
        queue->runUntilIdle();
    }
    ~FilterBench()
    {
        controller.reset();
        model.reset();
        queue->runUntilIdle();
        LoginItem::setInstance(nullptr);
        Permissions::setInstance(nullptr);
        keys::KeyOutput::setInstance(nullptr);
        paths::setApplicationSupportOverride({});
    }

    // One keystroke: the text, the state refresh, the list's rows.
    void type(const QString& text)
    {
        controller->setSearchText(text);
        queue->runUntilIdle();
        const MappingController::State& state = controller->state().get();
        list.setRows(toolListRows(state.groupedTools, state.selectedToolId, state.activeMappings));
    }

    QTemporaryDir folder;
    ScopedVirtualMainQueue queue;
    ScopedInMemorySettings settings;
    ScopedManualSerialQueues serialQueues;
    hid::ScriptedHid hid;
    keys::RecordingKeyOutput output;
    ScriptedPermissions permissions;
    InMemoryLoginItem loginItem;
    ScriptedPrompter prompter;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<MappingController> controller;
    MappingToolListModel list;
};

// Typing "l", then "le", then "lev", back and forth: each step narrows or widens the list.
void BM_ToolSearchKeystroke(benchmark::State& state)
{
    FilterBench bench;
    if (bench.controller->state().get().activeTools.size() != 1000) {
        state.SkipWithError("the large PACS profile is not the active one");
        return;
    }
    const QStringList steps{QString(), QStringLiteral("l"), QStringLiteral("le"), QStringLiteral("lev"),
                            QStringLiteral("le"), QStringLiteral("l")};
    qsizetype step = 0;
    for (auto _ : state) {
        bench.type(steps[step]);
        step = (step + 1) % steps.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ToolSearchKeystroke)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The tool list fits names to their room in pixels of a font: a GUI application's work.
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
