#include "Screenshots.h"

#include "model/CustomIconLibrary.h"
#include "model/IconRenderService.h"
#include "platform/Paths.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace velmor::screenshots {

namespace {

std::vector<Registered>& registry()
{
    static std::vector<Registered> shots;
    return shots;
}

} // namespace

Scene::Scene() { paths::setApplicationSupportOverride(dataFolder_.path()); }

Scene::~Scene()
{
    kept_.clear();
    paths::setApplicationSupportOverride({});
}

void Scene::settle()
{
    // Custom icons are read on a worker and arrive from their drawing processes on the
    // real event loop.
    auto* icons = dynamic_cast<IconRenderService*>(&IconRenderer::shared());
    const auto drawing = [icons] {
        return CustomIconLibrary::shared().lookupsUnderWay() > 0 || (icons && icons->childrenRunning() > 0);
    };
    for (int round = 0; round < 10; ++round) {
        const int ran = queue_->runUntilIdle();
        QCoreApplication::processEvents();
        const bool waited = drawing();
        for (const QDeadlineTimer patience(60'000); drawing() && !patience.hasExpired();) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            queue_->runUntilIdle();
        }
        if (!waited && ran == 0 && queue_->runUntilIdle() == 0)
            return;
    }
}

std::unique_ptr<QWidget> Scene::onBackdrop(QWidget* content, int margin)
{
    auto backdrop = std::make_unique<Backdrop>();
    auto* layout = new QVBoxLayout(backdrop.get());
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addWidget(content);
    return backdrop;
}

ScriptedPlatform::ScriptedPlatform(bool accessibility, bool inputMonitoring)
{
    permissions.accessibility = accessibility;
    permissions.inputMonitoring = inputMonitoring;
    keys::KeyOutput::setInstance(&output);
    Permissions::setInstance(&permissions);
    LoginItem::setInstance(&loginItem);
}

ScriptedPlatform::~ScriptedPlatform()
{
    LoginItem::setInstance(nullptr);
    Permissions::setInstance(nullptr);
    keys::KeyOutput::setInstance(nullptr);
}

Shot::Shot(QString name, Render render) { registry().push_back({std::move(name), std::move(render)}); }

std::vector<Registered> registeredShots()
{
    std::vector<Registered> shots = registry();
    std::sort(shots.begin(), shots.end(), [](const Registered& a, const Registered& b) { return a.name < b.name; });
    return shots;
}

} // namespace velmor::screenshots
