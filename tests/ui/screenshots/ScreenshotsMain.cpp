// velmor_screenshots FOLDER [NAME-PREFIX...]
// Renders every registered shot (or those whose name starts with a prefix) to
// FOLDER/<name>.png and prints each path. --list prints the names only.

#include "Screenshots.h"

#include "model/IconRenderService.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextStream>

#include <exception>

using namespace velmor;

namespace {

bool wanted(const QString& name, const QStringList& prefixes)
{
    return prefixes.isEmpty()
        || std::any_of(prefixes.begin(), prefixes.end(), [&](const QString& prefix) { return name.startsWith(prefix); });
}

bool take(const screenshots::Registered& shot, const QDir& folder, QTextStream& out, QTextStream& err)
{
    screenshots::Scene scene;
    std::unique_ptr<QWidget> widget = shot.render(scene);
    if (!widget) {
        err << shot.name << ": nothing rendered\n";
        return false;
    }
    if (!widget->testAttribute(Qt::WA_Resized))
        widget->resize(widget->sizeHint().expandedTo(widget->minimumSizeHint()));
    widget->show();
    scene.settle();
    const QImage image = widget->grab().toImage();
    const QString path = folder.filePath(shot.name + QStringLiteral(".png"));
    if (image.isNull() || !image.save(path)) {
        err << shot.name << ": could not write " << path << '\n';
        return false;
    }
    out << path << '\n';
    return true;
}

QtMessageHandler standardHandler = nullptr;

// The offscreen platform warns about every window it sizes; nothing to act on here.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.startsWith(QLatin1String("This plugin does not support")))
        standardHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    standardHandler = qInstallMessageHandler(quietOffscreen);
    QApplication application(argc, argv);
    installTheme(application);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.value(0) == QLatin1String("--list")) {
        for (const auto& shot : screenshots::registeredShots())
            out << shot.name << '\n';
        return 0;
    }
    if (arguments.isEmpty() || arguments.first().startsWith(QLatin1Char('-'))) {
        err << "usage: velmor_screenshots FOLDER [NAME-PREFIX...] | --list\n";
        return 2;
    }
    const QDir folder(arguments.takeFirst());
    if (!QDir().mkpath(folder.path())) {
        err << "cannot create " << folder.path() << '\n';
        return 1;
    }

    // Custom icons are drawn as Velmor draws them: by the drawing process, with a cache of
    // this run's own (and patience for a sanitized build).
    const QTemporaryDir iconCache;
    IconRenderService::Options iconOptions;
    iconOptions.program = QStringLiteral(VELMOR_ICON_RENDER);
    iconOptions.cacheDirectory = iconCache.path();
    iconOptions.limits.backstop = std::chrono::seconds(30);
    IconRenderService iconRenderer(iconOptions);
    IconRenderer::setShared(&iconRenderer);
    const auto restore = qScopeGuard([] { IconRenderer::setShared(nullptr); });

    int failed = 0;
    int taken = 0;
    for (const auto& shot : screenshots::registeredShots()) {
        if (!wanted(shot.name, arguments))
            continue;
        try {
            failed += take(shot, folder, out, err) ? 0 : 1;
        } catch (const std::exception& error) {
            err << shot.name << ": " << error.what() << '\n';
            ++failed;
        }
        ++taken;
    }
    if (taken == 0)
        err << "no shot matches " << arguments.join(QLatin1Char(' ')) << '\n';
    return failed == 0 && taken > 0 ? 0 : 1;
}
