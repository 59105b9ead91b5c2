// velmor_cloud_tool: one client of the folder database named by VELMOR_CLOUD_FOLDER.
//
//   status                                   prints the account status number
//   update NAME TEXT [--size N] [--register] [--file-size-limit BYTES]
//        fetches record NAME (or makes a "VelmorProfiles" record), sets "payload"
//        to TEXT (or N bytes), saves it; prints "saved TAG" or "error CODE".
//        --register: registers for pushes first and, after the save, prints
//        "pushes N": how many pushes this client got for it.
//        --file-size-limit: the process may write no larger file (it dies mid-save).
//        --hold-ms MS: holds the folder's lock MS milliseconds in the save, after printing
//        "holding".
#include "platform/Settings.h"
#include "platform/cloud/Container.h"
#include "platform/cloud/folder/FolderContainer.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <sys/resource.h>

#include <cstdio>

using namespace velmor;
using namespace velmor::cloud;

namespace {

void print(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

QString optionValue(const QStringList& args, const QString& name)
{
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
}

void limitFileSize(qint64 bytes)
{
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    setrlimit(RLIMIT_FSIZE, &limit);
}

void update(const std::shared_ptr<Container>& container, const QStringList& args)
{
    const QString name = args.value(1);
    QByteArray payload = args.value(2).toUtf8();
    if (const QString size = optionValue(args, "--size"); !size.isEmpty())
        payload = QByteArray(size.toInt(), 'x');
    if (const QString limit = optionValue(args, "--file-size-limit"); !limit.isEmpty())
        limitFileSize(limit.toLongLong());
    const bool reportPushes = args.contains("--register");

    auto pushes = std::make_shared<int>(0);
    container->setRemoteNotificationHandler([pushes](const QVariantMap&) { ++*pushes; });
    const auto database = container->privateCloudDatabase();

    const auto finish = [container, pushes, reportPushes] {
        if (!reportPushes)
            return QCoreApplication::exit(0);
        // Completions arrive in the order the work ran, so the status call's comes
        // after any push that a look at the folder found.
        container->checkForChanges();
        container->accountStatus([pushes](auto, auto) {
            print(QStringLiteral("pushes %1").arg(*pushes));
            QCoreApplication::exit(0);
        });
    };
    const auto save = [database, name, payload, finish](Record record) {
        record.setValue("payload", payload);
        database->saveRecord(record, [finish](std::optional<Record> saved, std::optional<Error> error) {
            print(saved ? "saved " + saved->recordChangeTag() : QStringLiteral("error %1").arg(error->rawCode()));
            finish();
        });
    };
    const auto fetchAndSave = [database, name, save] {
        database->fetchRecord(name, [name, save](std::optional<Record> record, std::optional<Error> error) {
            if (error && error->code() != Error::Code::unknownItem) {
                print(QStringLiteral("error %1").arg(error->rawCode()));
                return QCoreApplication::exit(1);
            }
            save(record.value_or(Record("VelmorProfiles", name)));
        });
    };
    if (reportPushes)
        container->registerForRemoteNotifications([fetchAndSave](auto, auto) { fetchAndSave(); });
    else
        fetchAndSave();
}

std::shared_ptr<Container> makeContainer(const QStringList& args)
{
    const QString identifier = QStringLiteral("iCloud.Velmor");
    const int holdMs = optionValue(args, "--hold-ms").toInt();
    if (holdMs <= 0)
        return Container::named(identifier);
    FolderContainer::Options options;
    options.changeFault = [holdMs, held = std::make_shared<bool>(false)](const QString& path) {
        if (path.contains(QStringLiteral("/records/")) && !std::exchange(*held, true)) {
            print(QStringLiteral("holding"));
            QThread::msleep(static_cast<unsigned long>(holdMs));
        }
        return 0;
    };
    return FolderContainer::create(identifier, FolderLocation::forContainer(identifier), std::move(options));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const ScopedInMemorySettings settings; // a fresh client id; the user's settings stay untouched
    const QStringList args = app.arguments().mid(1);
    const auto container = makeContainer(args);

    if (args.value(0) == "status") {
        container->accountStatus([](std::optional<AccountStatus> status, auto) {
            print(QString::number(static_cast<int>(status.value_or(AccountStatus::couldNotDetermine))));
            QCoreApplication::exit(0);
        });
    } else if (args.value(0) == "update" && args.size() >= 3) {
        update(container, args);
    } else {
        print("usage: velmor_cloud_tool status | update NAME TEXT [--size N] [--register] [--file-size-limit BYTES] [--hold-ms MS]");
        return 2;
    }
    return app.exec();
}
