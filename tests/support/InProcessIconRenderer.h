#pragma once

// Header-only: for test executables that link the model layer.

#include "model/IconRenderer.h"
#include "model/SvgIconImage.h"
#include "platform/MainQueue.h"

#include <QHash>

#include <memory>

#include <optional>

namespace velmor::test {

// Draws in the test's own process and answers on the main queue, so that tests on virtual
// time drive the icon renderer with runUntilIdle(). Installed as the process-wide renderer
// for its lifetime. Tells each document's failure once, as the real renderer does.
class InProcessIconRenderer final : public IconRenderer {
public:
    InProcessIconRenderer() { IconRenderer::setShared(this); }
    ~InProcessIconRenderer() override { IconRenderer::setShared(nullptr); }

    std::optional<IconRenderResult> knownByKey(const QString& key) override
    {
        const auto found = outcomes->constFind(key);
        return found == outcomes->cend() ? std::nullopt : std::optional(*found);
    }

    // Draws at once, but the outcome is known (and told) only once it is answered.
    void render(IconRenderRequest request, Done done) override
    {
        const QByteArray& document = request.document;
        const QString key = request.key.isEmpty() ? iconRenderKey(document, request.side) : request.key;
        std::optional<IconRenderResult> answer = knownByKey(key);
        if (!answer && drawing.contains(key))
            answer = drawing.value(key); // under way: drawn and told once
        if (answer)
            return postToMain([done = std::move(done), result = *answer] { done(result); });
        ++drawings;
        IconRenderResult result{IconRenderOutcome::refused, {}};
        if (const auto ending = endings.constFind(document); ending != endings.cend())
            result.outcome = *ending;
        else if (std::optional<QImage> image = renderSvgIcon(document, request.side))
            result = IconRenderResult{IconRenderOutcome::drawn, *image};
        if (result.isFailureOfTheDocument())
            reportFailure(request.name, request.origin, result.outcome);
        drawing.insert(key, result);
        postToMain([outcomes = outcomes, key, done = std::move(done), result] {
            if (result.outcome != IconRenderOutcome::cancelled)
                outcomes->insert(key, result);
            done(result);
        });
    }

    // A line for Velmor's log, as the on-disk cache tells why it is not used.
    void tellLog(const QString& line) const { reportLog(line); }

    // Documents that end so (overran, say) instead of being drawn.
    QHash<QByteArray, IconRenderOutcome> endings;
    int drawings = 0;
    QHash<QString, IconRenderResult> drawing;
    std::shared_ptr<QHash<QString, IconRenderResult>> outcomes =
        std::make_shared<QHash<QString, IconRenderResult>>();
};

} // namespace velmor::test
