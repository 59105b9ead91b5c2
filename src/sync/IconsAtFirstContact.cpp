#include "sync/IconsAtFirstContact.h"

#include "model/SvgIconImage.h"
#include "platform/FileNames.h"
#include "platform/RegularFile.h"
#include "store/FileSystem.h"
#include "sync/CloudKitIconSync.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace velmor {

namespace {

// "<name> <n>.svg", cut to leave room for a temporary name beside it.
QString numberedName(const QString& baseName, int n)
{
    const QString tail = u' ' + QString::number(n) + QStringLiteral(".svg");
    const qsizetype room = maxFileNameBytes - LocalFileSystem::maxTemporarySuffixBytes - tail.toUtf8().size();
    return leftUtf8Bytes(baseName, room) + tail;
}

// A name that neither the folder nor the cloud uses yet.
QCoro::Task<QString> freeIconName(CloudKitIconSync& icons, QDir folder, QString baseName)
{
    for (int n = 2;; ++n) {
        const QString name = numberedName(baseName, n);
        if (files::fileKind(folder.filePath(name)) != files::FileKind::missing)
            continue;
        bool inCloud = false;
        try {
            const std::optional<cloud::Record> record = co_await icons.fetchRecord(CloudKitIconSync::iconBaseName(name));
            inCloud = record.has_value();
        } catch (const std::exception&) {
            // Free here is what matters; the icon sync compares dates for the rest.
        }
        if (!inCloud)
            co_return name;
    }
}

} // namespace

QCoro::Task<QStringList> takeIconsAtFirstContact(CloudKitIconSync& icons, QString iconsDirectory, QStringList names)
{
    QStringList baseNames;
    for (const QString& name : std::as_const(names))
        baseNames << CloudKitIconSync::iconBaseName(name);
    baseNames.removeDuplicates();
    std::sort(baseNames.begin(), baseNames.end());

    const QDir folder(iconsDirectory);
    QStringList kept;
    for (const QString& baseName : std::as_const(baseNames)) {
        const std::optional<QString> local = isPlainFileName(baseName) ? icons.localIconURL(baseName) : std::nullopt;
        // Only a regular file of an icon's size would ever be uploaded.
        const std::optional<QByteArray> mine =
            local ? files::readRegular(*local, SvgIconLimits::maxFileBytes).bytes : std::nullopt;
        if (!mine)
            continue;
        std::optional<cloud::Record> record;
        try {
            record = co_await icons.fetchRecord(baseName);
        } catch (const std::exception&) {
            continue;
        }
        const std::optional<cloud::Asset> asset =
            record && record->recordType() == CloudKitIconSync::recordType
                ? record->asset(CloudKitIconSync::svgAssetKey)
                : std::nullopt;
        const std::optional<QByteArray> theirs =
            asset ? files::readRegular(asset->filePath, SvgIconLimits::maxFileBytes).bytes : std::nullopt;
        if (!theirs || *theirs == *mine)
            continue;
        const QString aside = co_await freeIconName(icons, folder, baseName);
        if (!QFile::rename(*local, folder.filePath(aside)))
            continue;
        kept.append(aside);
        // Without a local file the record's drawing is written whatever its date.
        co_await icons.downloadIcon(std::move(*record), baseName);
    }
    co_return kept;
}

} // namespace velmor
