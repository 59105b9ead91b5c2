#pragma once

#include "platform/cloud/memory/MemoryCloud.h"
#include "support/InProcessIconRenderer.h"
#include "support/TestSupport.h"
#include "sync/CloudKitIconSync.h"
#include "sync/IconFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

namespace velmor::test {

inline QByteArray svgOf(const char* colour)
{
    return R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><rect width="8" height="8" fill=")" +
           QByteArray(colour) + R"("/></svg>)";
}

// Machines of one user, each with its own icons and data folders, syncing icons on one
// cloud in memory; what each is told is gathered per machine.
class IconMachines : public PlatformFixture {
protected:
    struct Machine {
        QTemporaryDir icons;
        QTemporaryDir data;
        std::shared_ptr<cloud::Database> database;
        std::unique_ptr<CloudKitIconSync> sync;
        // The sync's icons folder, made by makeFolder.
        IconFolder* folder = nullptr;
        QStringList problems;
        QStringList kept;
        QStringList logged;

        QString path(const QString& name) const { return icons.filePath(name); }
        QByteArray drawing(const QString& name) const
        {
            return QFileInfo::exists(path(name)) ? readFile(path(name)) : QByteArray();
        }
        QStringList files() const { return QDir(icons.path()).entryList(QDir::Files | QDir::Hidden); }
    };

    std::unique_ptr<Machine> machine()
    {
        auto made = std::make_unique<Machine>();
        made->database = cloud.makeClient()->privateCloudDatabase();
        restart(*made);
        return made;
    }
    // A new start: the sync made afresh over the machine's folders.
    void restart(Machine& m)
    {
        m.sync.reset();
        std::unique_ptr<IconFolder> folder = makeFolder(m.icons.path());
        m.folder = folder.get();
        m.sync = std::make_unique<CloudKitIconSync>(*m.database, m.icons.path(), temporary.path(), m.data.path(),
                                                    std::move(folder));
        m.sync->setRefusalHandler([raw = &m](const QString& text) { raw->problems << text; });
        m.sync->setKeptHandler([raw = &m](const QString& text, const QStringList& lines) {
            raw->kept << text;
            raw->logged << lines;
        });
        m.sync->setLogHandler([raw = &m](const QStringList& lines) { raw->logged << lines; });
    }
    void sync(Machine& m, const QStringList& names = {"scan.svg"})
    {
        m.sync->syncIcons(names);
        queue->runUntilIdle();
    }
    virtual std::unique_ptr<IconFolder> makeFolder(const QString& path) { return std::make_unique<IconFolder>(path); }
    static void draw(Machine& m, const QByteArray& bytes, const QDateTime& date, const QString& name = "scan.svg")
    {
        writeFile(m.path(name), bytes);
        QFile file(m.path(name));
        ASSERT_TRUE(file.open(QIODevice::Append) && file.setFileTime(date, QFileDevice::FileModificationTime));
    }
    static void draw(Machine& m, const QByteArray& bytes, int secondsAgo, const QString& name = "scan.svg")
    {
        draw(m, bytes, QDateTime::currentDateTimeUtc().addSecs(-secondsAgo), name);
    }
    QByteArray inCloud(const QString& record = "scan") const
    {
        const std::optional<cloud::Record> stored = cloud.storedRecord(record);
        return stored ? readFile(stored->asset("svgAsset")->filePath) : QByteArray();
    }

    // A record as another client left it.
    void putIcon(const QString& name, const QByteArray& document, const QDateTime& updatedAt, bool withPreview = false)
    {
        writeFile(temporary.filePath("put"), document);
        cloud::Record record("VelmorIcon", name);
        record.setValue("svgAsset", cloud::Asset{temporary.filePath("put")});
        if (withPreview)
            record.setValue("pngAsset", cloud::Asset{temporary.filePath("put")});
        record.setValue("updatedAt", updatedAt);
        cloud.putRecord(record);
        QFile::remove(temporary.filePath("put"));
    }
    void putIcon(const QString& name, const QByteArray& document, int secondsAgo)
    {
        putIcon(name, document, QDateTime::currentDateTimeUtc().addSecs(-secondsAgo));
    }

    InProcessIconRenderer renderer;
    cloud::MemoryCloud cloud;
    QTemporaryDir temporary;
};

} // namespace velmor::test
