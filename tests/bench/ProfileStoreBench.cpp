// The profile store on large profiles files: start-up to a loaded store, a save
// after one edit, a save with nothing new (after a write, and as the first save
// of a run), a fresh install, and the peak memory of a whole session (start-up,
// one edit, one save with nothing new) measured in a child process. Sizes are
// PACS profiles × user profiles × mappings each; the PACS profiles beyond the
// built-in ones carry 60 tools each. Files live on the local disk in a temporary
// folder, so writes pay for fsync as they do for users. A benchmark whose store
// did not load the whole document (one over the read limit is kept aside as
// damaged and the store starts on the defaults) fails rather than time that.
#include "LargeProfiles.h"
#include "platform/Json.h"
#include "platform/Paths.h"
#include "platform/SerialQueue.h"
#include "platform/Settings.h"
#include "platform/VirtualMainQueue.h"
#include "store/PersistedProfiles.h"
#include "store/ProfileStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace velmor;
using velmor::bench::makeDocument;
using velmor::bench::Size;
using velmor::bench::devices;

namespace {

// 10× smaller, the size of the report, 4× larger (near the store's read limit,
// LocalFileSystem::maxReadBytes).
constexpr Size sizes[] = {{5, 5, 1000}, {50, 50, 1000}, {200, 200, 1000}};
// For benchmarks whose set-up (a whole start-up) dwarfs what they time.
constexpr int fewIterations = 10;
constexpr char notLoaded[] = "the store did not load the document (over the read limit, or damaged)";

Size sizeOf(const benchmark::State& state)
{
    return {static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), static_cast<int>(state.range(2))};
}

QString sizeName(Size size) { return QStringLiteral("%1x%2x%3").arg(size.pacs).arg(size.users).arg(size.mappings); }

// The store holds the generated document, not the defaults it starts on when
// the file cannot be used.
bool holdsDocument(const ProfileStore& store, Size size)
{
    return store.userProfiles().get().size() == size.users && store.pacsProfiles().get().size() >= size.pacs;
}

// The platform a store needs, on a data folder of its own.
struct Platform {
    explicit Platform(const QString& folder) { paths::setApplicationSupportOverride(folder); }
    ~Platform() { paths::setApplicationSupportOverride({}); }

    ScopedVirtualMainQueue queue;
    ScopedInMemorySettings settings;
    ScopedManualSerialQueues serialQueues;
};

// A profiles file of one size as the store writes it, made once per process;
// empty when the store could not load the generated document.
const QByteArray& normalisedFile(Size size)
{
    static std::map<QString, QByteArray> files;
    QByteArray& bytes = files[sizeName(size)];
    if (bytes.isEmpty()) {
        QTemporaryDir folder;
        {
            Platform platform(folder.path());
            QFile file(folder.filePath("profiles.json"));
            file.open(QIODevice::WriteOnly);
            file.write(json::encode(makeDocument(size).toJson()));
            file.close();
            // The store fills in what the generated document leaves out (the
            // active ids, the built-in profiles' defaults) and writes it all.
            ProfileStore store;
            if (!holdsDocument(store, size))
                return bytes;
            store.save();
            platform.queue->runUntilIdle();
        }
        QFile file(folder.filePath("profiles.json"));
        file.open(QIODevice::ReadOnly);
        bytes = file.readAll();
    }
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A data folder holding the normalised file of one size; a benchmark fails at
// once when there is none.
struct Session {
    Session(Size size, benchmark::State& state) : file(normalisedFile(size)), platform(folder.path())
    {
        if (file.isEmpty())
            state.SkipWithError(notLoaded);
        writeFile(folder.filePath("profiles.json"), file);
    }
    QTemporaryDir folder;
    // Made before the platform takes the data folder: making it ends with no
    // data folder set, and a store then would use the user's own.
    QByteArray file;
    Platform platform;
};

void setFileCounter(benchmark::State& state, Size size)
{
    state.counters["file_MB"] = static_cast<double>(normalisedFile(size).size()) / (1 << 20);
}

void BM_StartUp(benchmark::State& state)
{
    const Size size = sizeOf(state);
    Session session(size, state);
    const auto before = QFileInfo(session.folder.filePath("profiles.json")).lastModified();
    for (auto _ : state) {
        auto store = std::make_unique<ProfileStore>();
        session.platform.queue->runUntilIdle();
        state.PauseTiming();
        if (!holdsDocument(*store, size)) {
            state.SkipWithError(notLoaded);
            break;
        }
        store.reset();
        state.ResumeTiming();
    }
    if (QFileInfo(session.folder.filePath("profiles.json")).lastModified() != before)
        state.SkipWithError("start-up wrote the normalised file again");
    setFileCounter(state, size);
}

void BM_SaveAfterEdit(benchmark::State& state)
{
    const Size size = sizeOf(state);
    Session session(size, state);
    ProfileStore store;
    if (!holdsDocument(store, size))
        state.SkipWithError(notLoaded);
    const UserProfile user = store.activeUserProfile();
    const QUuid tools[] = {store.activePacsProfile().tools.at(0).id, store.activePacsProfile().tools.at(1).id};
    int saves = 0;
    store.onSave = [&] { ++saves; };
    std::int64_t n = 0;
    for (auto _ : state) {
        store.setMapping(devices[0], QStringLiteral("B0000"), tools[n++ % 2], user.id);
        session.platform.queue->runUntilIdle();
    }
    if (saves != n)
        state.SkipWithError("an edit did not end in a written save");
    setFileCounter(state, size);
}

void BM_NoOpSave(benchmark::State& state)
{
    const Size size = sizeOf(state);
    Session session(size, state);
    ProfileStore store;
    if (!holdsDocument(store, size))
        state.SkipWithError(notLoaded);
    store.renameUserProfile(store.activeUserProfile().id, QStringLiteral("Dr. Edited"));
    session.platform.queue->runUntilIdle();
    int saves = 0;
    store.onSave = [&] { ++saves; };
    for (auto _ : state) {
        store.save();
        session.platform.queue->runUntilIdle();
    }
    if (saves != 0)
        state.SkipWithError("a save with nothing new was uploaded");
    setFileCounter(state, size);
}

// The first save of a run that changed nothing: the store has not written yet,
// so it encodes once to find the file already holds the document.
void BM_FirstSaveAfterStartUp(benchmark::State& state)
{
    const Size size = sizeOf(state);
    Session session(size, state);
    const auto before = QFileInfo(session.folder.filePath("profiles.json")).lastModified();
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<ProfileStore>();
        session.platform.queue->runUntilIdle();
        if (!holdsDocument(*store, size)) {
            state.SkipWithError(notLoaded);
            break;
        }
        state.ResumeTiming();
        store->save();
        session.platform.queue->runUntilIdle();
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    if (QFileInfo(session.folder.filePath("profiles.json")).lastModified() != before)
        state.SkipWithError("a save with nothing new wrote the file");
    setFileCounter(state, size);
}

void BM_FreshInstall(benchmark::State& state)
{
    QTemporaryDir folder;
    Platform platform(folder.path());
    for (auto _ : state) {
        auto store = std::make_unique<ProfileStore>();
        platform.queue->runUntilIdle();
        state.PauseTiming();
        store.reset();
        for (const QString& name : QDir(folder.path()).entryList(QDir::Files))
            QFile::remove(folder.filePath(name));
        state.ResumeTiming();
    }
}

// The session of one user in a process of its own. It reports its peak
// resident size (VmHWM) itself: the ru_maxrss that wait4() gives counts the
// memory of the process that started it as well.
int runSession(const char* folder, Size size)
{
    const QString path = QString::fromLocal8Bit(folder);
    {
        Platform platform(path);
        ProfileStore store;
        platform.queue->runUntilIdle();
        if (!holdsDocument(store, size))
            return 2;
        store.renameUserProfile(store.activeUserProfile().id, QStringLiteral("Dr. Edited"));
        platform.queue->runUntilIdle();
        store.save();
        platform.queue->runUntilIdle();
    }
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            writeFile(path + QStringLiteral("/peak"), line.mid(6).trimmed());
            return 0;
        }
    }
    return 1;
}

void BM_PeakMemory(benchmark::State& state)
{
    const Size size = sizeOf(state);
    for (auto _ : state) {
        Session session(size, state);
        const QByteArray folder = QFile::encodeName(session.folder.path());
        QByteArray sizeArgs[] = {QByteArray::number(size.pacs), QByteArray::number(size.users),
                                 QByteArray::number(size.mappings)};
        char self[] = "/proc/self/exe";
        char flag[] = "--session";
        char* argv[] = {self, flag, const_cast<char*>(folder.constData()), sizeArgs[0].data(), sizeArgs[1].data(),
                        sizeArgs[2].data(), nullptr};
        pid_t child = 0;
        int status = 0;
        if (state.error_occurred())
            break;
        if (posix_spawn(&child, self, nullptr, nullptr, argv, environ) != 0 || waitpid(child, &status, 0) != child
            || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError(WIFEXITED(status) && WEXITSTATUS(status) == 2 ? notLoaded : "the session process failed");
            break;
        }
        QFile peak(session.folder.filePath("peak"));
        peak.open(QIODevice::ReadOnly);
        state.counters["peak_MB"] = peak.readAll().split(' ').value(0).toDouble() / 1024; // "123456 kB"
    }
    setFileCounter(state, size);
}

void eachSize(benchmark::internal::Benchmark* b)
{
    for (const Size size : sizes)
        b->Args({size.pacs, size.users, size.mappings});
    b->ArgNames({"pacs", "users", "mappings"});
}

BENCHMARK(BM_StartUp)->Apply(eachSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveAfterEdit)->Apply(eachSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NoOpSave)->Apply(eachSize)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstSaveAfterStartUp)->Apply(eachSize)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(fewIterations);
BENCHMARK(BM_FreshInstall)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PeakMemory)->Apply(eachSize)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && std::strcmp(argv[1], "--session") == 0)
        return runSession(argv[2], {std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])});
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
