#include "platform/hid/linux/HidrawReader.h"

#include <QFile>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace velmor::hid {

namespace {
// The largest report hidraw hands out.
constexpr qsizetype maxReport = 16384;
} // namespace

HidrawReader::HidrawReader(const QString& devnode, ReportHandler onReport, GoneHandler onGone)
    : HidrawReader(UniqueFd(::open(QFile::encodeName(devnode).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)),
                   std::move(onReport), std::move(onGone))
{
    if (!fd_)
        openError_ = errno;
}

HidrawReader::HidrawReader(UniqueFd fd, ReportHandler onReport, GoneHandler onGone)
    : fd_(std::move(fd))
    , onReport_(std::move(onReport))
    , onGone_(std::move(onGone))
    , buffer_(maxReport, Qt::Uninitialized)
{
    if (!fd_)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_.get(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readAvailable(); });
}

HidrawReader::~HidrawReader() = default;

void HidrawReader::readAvailable()
{
    // One report per turn: hidraw hands out one report per read, and the
    // notifier fires again while more wait, so no read is spent to learn that
    // none is left.
    while (fd_ && !stopped_) {
        const ssize_t count = ::read(fd_.get(), buffer_.data(), size_t(buffer_.size()));
        if (count > 0) {
            onReport_(QByteArray(buffer_.constData(), count));
            return;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return;
        const bool gone = count < 0 && (errno == ENODEV || errno == EIO);
        // Any other failure would repeat on every turn of the loop: stop reading.
        stop();
        if (gone && onGone_)
            onGone_();
        return;
    }
}

void HidrawReader::stop()
{
    // Kept until the reader goes: this may run inside the notifier's own signal.
    stopped_ = true;
    notifier_->setEnabled(false);
}

} // namespace velmor::hid
