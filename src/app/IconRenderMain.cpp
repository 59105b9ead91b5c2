// velmor-icon-render: draws one icon document for Velmor, in a process of its own so that
// no document can hold up or bring down Velmor. Usage: velmor-icon-render SIDE, with the
// SVG document on standard input; the image (IconPixels.h) on standard output. Opens no
// file for the document; Velmor limits its time and memory. When its CPU budget runs out
// it ends with iconpixels::outOfTimeStatus, so Velmor tells a document too costly to draw
// from a program that failed.

#include "model/IconPixels.h"
#include "model/SvgIconImage.h"
#include "platform/RegularFile.h"

#include <QGuiApplication>
#include <QSemaphore>
#include <QThreadPool>

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

using namespace velmor;

namespace {

constexpr int usageStatus = 2;

// At most maxFileBytes + 1 bytes: one more says the document is too large.
bool readDocument(QByteArray& document)
{
    const qsizetype limit = SvgIconLimits::maxFileBytes + 1;
    document.resize(limit);
    qsizetype filled = 0;
    while (filled < limit) {
        const ssize_t count = ::read(STDIN_FILENO, document.data() + filled, size_t(limit - filled));
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        filled += count;
    }
    document.resize(filled);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // First of all: starting up counts against the budget too.
    struct sigaction outOfTime {};
    outOfTime.sa_handler = [](int) { ::_exit(iconpixels::outOfTimeStatus); };
    ::sigaction(SIGXCPU, &outOfTime, nullptr);

    if (argc != 2)
        return usageStatus;
    char* end = nullptr;
    const long side = std::strtol(argv[1], &end, 10);
    if (*end != '\0' || side < 1 || side > 1024)
        return usageStatus;

    // No window and no desktop: fonts for text come from the font files alone. What the
    // renderer says about a document is of no use to anyone.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QGuiApplication application(argc, argv);
    // Qt spreads large fills and image conversions over its global pool and waits for every
    // part; a pool thread it fails to make under the address-space limit (its stack, its
    // malloc arena) leaves that wait hanging until Velmor's backstop, which blames no one.
    // One pool thread, made now while the limit is far off and kept, does all such work.
    QThreadPool* const pool = QThreadPool::globalInstance();
    pool->setMaxThreadCount(1);
    pool->setExpiryTimeout(-1);
    QSemaphore started;
    pool->start([&started] { started.release(); });
    started.acquire();

    QByteArray document;
    int status = usageStatus;
    if (readDocument(document)) {
        const std::optional<QImage> image = renderSvgIcon(document, int(side));
        if (!image)
            status = iconpixels::refusedStatus;
        else if (files::writeAll(STDOUT_FILENO, iconpixels::encode(*image)))
            status = iconpixels::drawnStatus;
    }
    // Nothing is left to tidy up that the system does not take back itself.
    ::_exit(status);
}
