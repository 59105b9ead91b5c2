#include "model/IconRenderChild.h"

#include "model/IconPixels.h"

#include <QProcess>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <utility>

namespace velmor {

namespace {

void limitChild(rlim_t cpuSeconds, rlim_t addressSpace)
{
    // SIGXCPU at the budget, which the program turns into its status. No hard limit of
    // our own: its SIGKILL would look like a kill from outside; the backstop stops a
    // program that ignores the budget.
    rlimit cpu{};
    ::getrlimit(RLIMIT_CPU, &cpu);
    cpu.rlim_cur = cpu.rlim_max == RLIM_INFINITY ? cpuSeconds : std::min(cpuSeconds, cpu.rlim_max);
    ::setrlimit(RLIMIT_CPU, &cpu);
    if (addressSpace > 0) {
        const rlimit memory{addressSpace, addressSpace};
        ::setrlimit(RLIMIT_AS, &memory);
    }
    // A crash is an outcome, not a core file.
    const rlimit core{0, 0};
    ::setrlimit(RLIMIT_CORE, &core);
}

// How a child ended by `signal` ended: the signals a document can bring about by what the
// drawing does (running out of memory within its limit aborts) are its crash; the budget's
// signal is its overrun; anything else came from outside.
IconRenderChild::Ending endingBySignal(int signal)
{
    switch (signal) {
    case SIGSEGV:
    case SIGBUS:
    case SIGILL:
    case SIGFPE:
    case SIGABRT:
        return IconRenderChild::Ending::failed;
    case SIGXCPU:
        return IconRenderChild::Ending::outOfCpu;
    default:
        return IconRenderChild::Ending::killed;
    }
}

} // namespace

IconRenderChild::IconRenderChild(const QString& program, const QByteArray& document, int side, Limits limits,
                                 Finished finished)
    : process_(std::make_unique<QProcess>()), finished_(std::move(finished))
{
    QProcess* process = process_.get();
    const auto cpuSeconds = static_cast<rlim_t>(std::max(1, limits.cpuSeconds));
    const auto addressSpace = static_cast<rlim_t>(limits.addressSpace);
    process->setChildProcessModifier([cpuSeconds, addressSpace] { limitChild(cpuSeconds, addressSpace); });
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setProgram(program);
    process->setArguments({QString::number(side)});

    const qint64 maxOutput = iconpixels::maxBytes(side);
    QObject::connect(process, &QProcess::readyReadStandardOutput, process, [this, process, maxOutput] {
        output_ += process->readAllStandardOutput();
        if (output_.size() > maxOutput && !std::exchange(flooded_, true))
            process->kill();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [this, process](QProcess::ProcessError error) {
        // Told from the loop: this may run inside start(), within the constructor.
        if (error == QProcess::FailedToStart)
            QMetaObject::invokeMethod(process, [this] { end(Ending::notStarted); }, Qt::QueuedConnection);
    });
    const auto ended = [this, process, side](int status, QProcess::ExitStatus exit) {
        output_ += process->readAllStandardOutput();
        if (backstopped_)
            return end(Ending::backstop);
        // Velmor's own kill of a flooding child: the program broke its word.
        if (flooded_)
            return end(Ending::failed);
        // Ended by a signal, the status is its number.
        if (exit != QProcess::NormalExit)
            return end(endingBySignal(status));
        if (status == iconpixels::refusedStatus)
            return end(Ending::refused);
        if (status == iconpixels::outOfTimeStatus)
            return end(Ending::outOfCpu);
        const std::optional<QImage> image = iconpixels::decode(output_, side);
        if (status != iconpixels::drawnStatus || !image || std::max(image->width(), image->height()) != side)
            return end(Ending::failed);
        end(Ending::drawn, *image);
    };
    QObject::connect(process, &QProcess::finished, process, ended);
    backstop_.setSingleShot(true);
    QObject::connect(&backstop_, &QTimer::timeout, process, [this, process] {
        backstopped_ = true;
        process->kill();
    });
    backstop_.start(limits.backstop);

    process->start();
    if (process->state() == QProcess::NotRunning)
        return;
    process->write(document);
    process->closeWriteChannel();
}

IconRenderChild::~IconRenderChild()
{
    backstop_.stop();
    process_->disconnect();
    if (!ended_) {
        process_->kill();
        process_->waitForFinished(1000);
        return;
    }
    // Ended: the process may be inside its own signal still; it goes on a later turn.
    process_.release()->deleteLater();
}

void IconRenderChild::end(Ending ending, const QImage& image)
{
    if (std::exchange(ended_, true))
        return;
    backstop_.stop();
    // The owner may destroy this child from the callback: call a copy.
    if (const Finished finished = std::move(finished_))
        finished(ending, image);
}

} // namespace velmor
