#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>
#include <optional>

namespace velmor {

// How drawing one icon document at one size ended. Only drawn, refused, overran and
// crashed belong to the document and are remembered; cancelled (Velmor is quitting) and
// unavailable (the drawing program could not run) say nothing about it.
enum class IconRenderOutcome { drawn, refused, overran, crashed, cancelled, unavailable };

struct IconRenderResult {
    IconRenderOutcome outcome = IconRenderOutcome::refused;
    QImage image; // when drawn

    bool isFailureOfTheDocument() const
    {
        return outcome == IconRenderOutcome::refused || outcome == IconRenderOutcome::overran
            || outcome == IconRenderOutcome::crashed;
    }
};

// Draws icon documents that Velmor did not make, away from the window's thread. Views ask
// for what is known and show their fallback until the image arrives; the icon sync waits.
// Each failure of a document is told once, to the failure handler, with the name it was
// first asked for under.
class IconRenderer {
public:
    using Done = std::function<void(const IconRenderResult&)>;
    using FailureHandler = std::function<void(const QString& description)>;

    virtual ~IconRenderer() = default;

    // The outcome already known for the document at that size; draws nothing. Any thread.
    virtual std::optional<IconRenderResult> known(const QByteArray& document, int side) = 0;
    // Draws the document unless its outcome is known or it is being drawn already; `done`
    // runs once, on a later turn of the main queue, with the outcome. Main thread.
    virtual void render(const QByteArray& document, int side, const QString& name, Done done) = 0;

    void setFailureHandler(FailureHandler handler) { onFailure_ = std::move(handler); }

    // The process-wide renderer: the one installed, else one that never draws (every
    // render ends unavailable, nothing is reported).
    static IconRenderer& shared();
    // Installs `renderer` (not owned); nullptr restores the one that never draws.
    static void setShared(IconRenderer* renderer);

protected:
    // Tells the failure handler, with the icon's file name and what went wrong.
    void reportFailure(const QString& name, IconRenderOutcome outcome) const;

private:
    FailureHandler onFailure_;
};

// "The icon “x.svg” …": what went wrong, for the log and the alert.
QString iconRenderFailureText(const QString& name, IconRenderOutcome outcome);

} // namespace velmor
