#include "ChildProcess.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

extern char** environ;

namespace velmor::bench {

namespace {

[[noreturn]] void throwErrno(int error, const char* what) { throw std::system_error(error, std::generic_category(), what); }

std::int64_t nanoseconds(const timespec& time) { return std::int64_t(time.tv_sec) * 1'000'000'000 + time.tv_nsec; }

std::optional<cpu_set_t> programCpus;

// Sets the calling thread's processors for its lifetime: a program started
// meanwhile inherits them.
class ThreadPlacement {
public:
    explicit ThreadPlacement(const std::optional<cpu_set_t>& cpus)
    {
        if (cpus && ::sched_getaffinity(0, sizeof saved_, &saved_) == 0)
            placed_ = ::sched_setaffinity(0, sizeof *cpus, &*cpus) == 0;
    }
    ~ThreadPlacement()
    {
        if (placed_)
            ::sched_setaffinity(0, sizeof saved_, &saved_);
    }

private:
    cpu_set_t saved_{};
    bool placed_ = false;
};

} // namespace

std::int64_t monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return nanoseconds(now);
}

ChildProcess::ChildProcess(const QString& program, const QStringList& arguments, const QStringList& environment)
    : programName_(program.section(QLatin1Char('/'), -1))
{
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0)
        throwErrno(errno, "pipe");
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(toChild[0]);
        ::close(toChild[1]);
        throwErrno(error, "pipe");
    }

    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    const std::size_t argumentCount = storage.size();
    for (char** entry = environ; *entry; ++entry)
        storage.emplace_back(*entry);
    for (const QString& entry : environment)
        storage.push_back(entry.toLocal8Bit());
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (std::size_t i = 0; i < storage.size(); ++i)
        (i < argumentCount ? argv : envp).push_back(storage[i].data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    // The program runs at normal priority, whatever ours is.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    const sched_param normal{};
    posix_spawnattr_setschedpolicy(&attributes, SCHED_OTHER);
    posix_spawnattr_setschedparam(&attributes, &normal);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSCHEDULER);
    int error = 0;
    {
        const ThreadPlacement placement(programCpus);
        startedNs_ = monotonicNs();
        error = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data());
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
    if (error != 0) {
        ::close(input_);
        ::close(output_);
        throwErrno(error, "posix_spawn");
    }
}

void ChildProcess::placePrograms(const cpu_set_t& cpus) { programCpus = cpus; }

ChildProcess::~ChildProcess()
{
    finish(std::chrono::seconds(5));
    ::close(output_);
}

std::optional<QString> ChildProcess::readLine(std::chrono::milliseconds timeout)
{
    const std::int64_t deadline = monotonicNs() + std::int64_t(timeout.count()) * 1'000'000;
    for (;;) {
        if (const qsizetype end = pending_.indexOf('\n'); end >= 0) {
            const QString line = QString::fromLocal8Bit(pending_.left(end));
            pending_.remove(0, end + 1);
            return line;
        }
        const std::int64_t left = deadline - monotonicNs();
        if (left <= 0)
            return std::nullopt;
        pollfd entry{output_, POLLIN, 0};
        const int ready = ::poll(&entry, 1, int(left / 1'000'000) + 1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char buffer[4096];
        const ssize_t count = ::read(output_, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return std::nullopt;
        pending_.append(buffer, count);
    }
}

std::optional<std::int64_t> ChildProcess::waitFor(const QString& word, std::chrono::milliseconds timeout)
{
    const std::int64_t deadline = monotonicNs() + std::int64_t(timeout.count()) * 1'000'000;
    const QString prefix = word + QLatin1Char(' ');
    for (;;) {
        const std::int64_t left = (deadline - monotonicNs()) / 1'000'000;
        const std::optional<QString> line = readLine(std::chrono::milliseconds(std::max<std::int64_t>(left, 0)));
        if (!line)
            return std::nullopt;
        if (!line->startsWith(prefix))
            continue;
        bool ok = false;
        const std::int64_t value = line->mid(prefix.size()).toLongLong(&ok);
        if (ok)
            return value;
    }
}

std::int64_t ChildProcess::cpuTimeNs() const
{
    clockid_t clock{};
    timespec used{};
    if (clock_getcpuclockid(pid_, &clock) != 0 || clock_gettime(clock, &used) != 0)
        return -1;
    return nanoseconds(used);
}

std::int64_t ChildProcess::statusField(const char* name) const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid_));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(name) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

std::int64_t ChildProcess::residentKb() const { return statusField("VmRSS"); }

std::int64_t ChildProcess::peakResidentKb() const { return statusField("VmHWM"); }

std::int64_t ChildProcess::contextSwitches() const
{
    std::int64_t switches = 0;
    for (const auto& [thread, counts] : switchesByThread())
        switches += counts.voluntary + counts.involuntary;
    return switches;
}

std::map<QString, ChildProcess::Switches> ChildProcess::switchesByThread() const
{
    std::map<QString, Switches> threads;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid_);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks + QLatin1Char('/') + task + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        QString name;
        Switches counts;
        const auto number = [](const QByteArray& line) { return line.mid(line.indexOf(':') + 1).trimmed().toLongLong(); };
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Name:"))
                name = QString::fromUtf8(line.mid(5).trimmed());
            else if (line.startsWith("voluntary_ctxt_switches:"))
                counts.voluntary = number(line);
            else if (line.startsWith("nonvoluntary_ctxt_switches:"))
                counts.involuntary = number(line);
        }
        if (task.toLongLong() == pid_)
            name = programName_;
        else if (name.toUtf8().size() == 15) // the kernel keeps 15 bytes of a name: this one may be cut
            name.prepend(QStringLiteral("…"));
        threads[name + QLatin1Char('/') + task] = counts;
    }
    return threads;
}

int ChildProcess::finish(std::chrono::milliseconds timeout)
{
    if (input_ >= 0) {
        ::close(input_);
        input_ = -1;
    }
    if (exited_)
        return -1;
    const std::int64_t deadline = monotonicNs() + std::int64_t(timeout.count()) * 1'000'000;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_)
            break;
        if (done < 0 && errno != EINTR) {
            exited_ = true;
            return -1;
        }
        if (monotonicNs() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            exited_ = true;
            return -1;
        }
        // Its output is drained meanwhile, so a chatty program cannot block on it.
        pollfd entry{output_, POLLIN, 0};
        char discard[4096];
        if (::poll(&entry, 1, 10) > 0 && ::read(output_, discard, sizeof discard) <= 0) {
            const timespec pause{0, 1'000'000};
            ::nanosleep(&pause, nullptr); // its output has ended; it has not yet
        }
    }
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace velmor::bench
