#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class QProcess;

namespace velmor {

// One run of the icon drawing program on one document: `program SIDE` with the document
// on standard input, under CPU and memory limits, stopped at a wall-clock backstop. It
// tells how the run ended and nothing more; whose fault that is, the document's, the
// program's or the machine's, is for its owner to judge. Main thread.
class IconRenderChild {
public:
    enum class Ending {
        drawn,      // an image of the size asked for
        refused,    // the program's check refused the document
        outOfCpu,   // the CPU budget ran out
        failed,     // a crash a document can cause, another status, or output that is no image
        killed,     // a signal no document causes and Velmor did not send (a kill from outside)
        backstop,   // still running at the backstop: it did not get to run, or hung
        notStarted, // the program is missing or cannot be run
    };
    // The drawing program's address space. A sanitized program reserves far more than
    // this for its own bookkeeping, so a sanitized build, whose program is sanitized too,
    // sets none by default.
#if defined(__SANITIZE_ADDRESS__)
    static constexpr std::uint64_t defaultAddressSpace = 0;
#else
    static constexpr std::uint64_t defaultAddressSpace = std::uint64_t(512) * 1024 * 1024;
#endif
    struct Limits {
        int cpuSeconds = 2;
        std::chrono::milliseconds backstop{10'000};
        std::uint64_t addressSpace = defaultAddressSpace; // bytes; 0: no limit
    };
    using Finished = std::function<void(Ending ending, const QImage& image)>;

    // Starts at once; `finished` runs once, from the main loop (never from here), unless
    // the child is destroyed before it ends.
    IconRenderChild(const QString& program, const QByteArray& document, int side, Limits limits, Finished finished);
    // Kills the process if it still runs; safe from within `finished`.
    ~IconRenderChild();
    IconRenderChild(const IconRenderChild&) = delete;
    IconRenderChild& operator=(const IconRenderChild&) = delete;

private:
    void end(Ending ending, const QImage& image = {});

    std::unique_ptr<QProcess> process_;
    QTimer backstop_;
    QByteArray output_;
    bool backstopped_ = false;
    bool flooded_ = false;
    bool ended_ = false;
    Finished finished_;
};

} // namespace velmor
