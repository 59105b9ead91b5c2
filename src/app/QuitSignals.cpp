#include "app/QuitSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmor {

namespace {

std::atomic<int> signalWriteFd{-1};

// Only async-signal-safe calls here.
extern "C" void onQuitSignal(int number)
{
    const int saved = errno;
    const int fd = signalWriteFd.load();
    if (fd >= 0) {
        const char byte = static_cast<char>(number);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

void install(int number, void (*handler)(int), int flags)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    ::sigaction(number, &action, nullptr);
}

} // namespace

QuitSignals::QuitSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0)
        throw std::runtime_error("QuitSignals: socketpair failed");
    signalWriteFd.store(fds_[0]);
    notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        char bytes[16];
        while (::read(fds_[1], bytes, sizeof bytes) > 0) {
        }
        if (onSignal_)
            onSignal_();
    });
    for (const int number : {SIGTERM, SIGINT})
        install(number, onQuitSignal, SA_RESTART | SA_RESETHAND);
}

QuitSignals::~QuitSignals()
{
    for (const int number : {SIGTERM, SIGINT})
        install(number, SIG_DFL, 0);
    signalWriteFd.store(-1);
    notifier_.reset();
    ::close(fds_[0]);
    ::close(fds_[1]);
}

} // namespace velmor
