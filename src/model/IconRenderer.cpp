#include "model/IconRenderer.h"

#include "platform/MainQueue.h"

#include <QCryptographicHash>

#include <atomic>

namespace velmor {

namespace {

class NoRenderer final : public IconRenderer {
public:
    std::optional<IconRenderResult> knownByKey(const QString&) override { return std::nullopt; }
    void render(IconRenderRequest, Done done) override
    {
        postToMain([done = std::move(done)] { done({IconRenderOutcome::unavailable, {}}); });
    }
};

std::atomic<IconRenderer*> installed{nullptr};

} // namespace

QString iconRenderKey(const QByteArray& document, int side)
{
    const QByteArray hash = QCryptographicHash::hash(document, QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(hash) + u'-' + QString::number(side);
}

IconRenderer& IconRenderer::shared()
{
    if (IconRenderer* renderer = installed.load())
        return *renderer;
    static NoRenderer none;
    return none;
}

void IconRenderer::setShared(IconRenderer* renderer) { installed.store(renderer); }

void IconRenderer::reportFailure(const QString& name, IconOrigin origin, IconRenderOutcome outcome) const
{
    if (onFailure_)
        onFailure_(origin, iconRenderFailureText(name, outcome));
}

void IconRenderer::reportProgramFailure(IconOrigin origin, const QString& description) const
{
    if (onFailure_)
        onFailure_(origin, description);
}

void IconRenderer::reportLog(const QString& line) const
{
    if (onLog_)
        onLog_(line);
}

QString iconRenderFailureText(const QString& name, IconRenderOutcome outcome)
{
    QString what;
    switch (outcome) {
    case IconRenderOutcome::refused:
        what = QStringLiteral("was refused by the icon check or draws nothing");
        break;
    case IconRenderOutcome::overran:
        what = QStringLiteral("took too long to draw and was stopped");
        break;
    case IconRenderOutcome::crashed:
        what = QStringLiteral("made its drawing process fail");
        break;
    case IconRenderOutcome::unavailable:
        what = QStringLiteral("could not be drawn: the icon drawing program failed");
        break;
    case IconRenderOutcome::drawn:
    case IconRenderOutcome::cancelled:
        what = QStringLiteral("was not drawn");
        break;
    }
    return QStringLiteral("The icon “%1” %2; its tool shows its symbol instead.").arg(name, what);
}

} // namespace velmor
