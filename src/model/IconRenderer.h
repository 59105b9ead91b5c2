#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>
#include <optional>

namespace velmor {

// How drawing one icon document at one size ended. Only drawn, refused, overran and
// crashed belong to the document and are remembered; cancelled (Velmor is quitting) and
// unavailable (the drawing program or the machine failed) say nothing about it.
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

// Where an icon came from, which decides the title its failure is told under.
enum class IconOrigin { local, sync };

// "‹sha-256 of the document in hex›-‹side›": what an outcome is known by.
QString iconRenderKey(const QByteArray& document, int side);

struct IconRenderRequest {
    QByteArray document;
    int side = 0;
    // The icon's file name and origin, for telling its failure.
    QString name;
    IconOrigin origin = IconOrigin::local;
    // iconRenderKey(document, side) when the caller has it already, else empty.
    QString key;
};

// Draws icon documents that Velmor did not make, away from the window's thread. Views ask
// for what is known and show their fallback until the image arrives; the icon sync waits.
// Each failure of a document is told once, to the failure handler, with the name and
// origin it was first asked for under; a failure of the drawing program once per run.
class IconRenderer {
public:
    using Done = std::function<void(const IconRenderResult&)>;
    using FailureHandler = std::function<void(IconOrigin origin, const QString& description)>;

    virtual ~IconRenderer() = default;

    // The outcome already known under that key; draws nothing and reads no document, but
    // may read what is kept on disk: not on the window's thread. Any other thread.
    virtual std::optional<IconRenderResult> knownByKey(const QString& key) = 0;
    // The outcome known in memory only: what the window's thread asks. Any thread.
    virtual std::optional<IconRenderResult> remembered(const QString& key) { return knownByKey(key); }
    std::optional<IconRenderResult> known(const QByteArray& document, int side)
    {
        return knownByKey(iconRenderKey(document, side));
    }
    // Draws the document unless its outcome is known or it is being drawn already; `done`
    // runs once, on a later turn of the main queue, with the outcome. Main thread.
    virtual void render(IconRenderRequest request, Done done) = 0;

    void setFailureHandler(FailureHandler handler) { onFailure_ = std::move(handler); }
    // Where a line for Velmor's log goes (why the on-disk cache is not used), on the main queue.
    using LogHandler = std::function<void(const QString& line)>;
    void setLogHandler(LogHandler handler) { onLog_ = std::move(handler); }

    // The process-wide renderer: the one installed, else one that never draws (every
    // render ends unavailable, nothing is reported).
    static IconRenderer& shared();
    // Installs `renderer` (not owned); nullptr restores the one that never draws.
    static void setShared(IconRenderer* renderer);

protected:
    // Tells the failure handler, with the icon's file name and what went wrong.
    void reportFailure(const QString& name, IconOrigin origin, IconRenderOutcome outcome) const;
    void reportProgramFailure(IconOrigin origin, const QString& description) const;
    void reportLog(const QString& line) const;

private:
    FailureHandler onFailure_;
    LogHandler onLog_;
};

// "The icon “x.svg” …": what went wrong, for the log and the alert.
QString iconRenderFailureText(const QString& name, IconRenderOutcome outcome);

} // namespace velmor
