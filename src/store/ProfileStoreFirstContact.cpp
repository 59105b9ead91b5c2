// What a computer made before its first sync with a cloud folder that already holds
// profiles: it takes those, and keeps its own where the user can import them again.
#include "model/AddedBackIds.h"
#include "model/FileNames.h"
#include "model/ProfileTemplates.h"
#include "platform/RegularFile.h"
#include "platform/Text.h"
#include "store/ProfileExchange.h"
#include "store/ProfileLookup.h"
#include "store/ProfileStore.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace velmor {

namespace {

QList<RadiologyTool> withoutIds(QList<RadiologyTool> tools)
{
    for (RadiologyTool& tool : tools)
        tool.id = QUuid();
    return tools;
}

// Some profile of `profiles` has this name (in any case) and the same tools, their
// ids aside: each machine makes the built-in tools with ids of its own.
bool hasNamesakeWithTools(const QList<PacsProfile>& profiles, const PacsProfile& profile)
{
    const QString name = text::lowercased(profile.name);
    const QList<RadiologyTool> tools = withoutIds(profile.tools);
    return std::any_of(profiles.cbegin(), profiles.cend(), [&](const PacsProfile& other) {
        return text::lowercased(other.name) == name && withoutIds(other.tools) == tools;
    });
}

QHash<std::pair<QString, QString>, QUuid> toolsByButton(const QList<ButtonMapping>& mappings)
{
    QHash<std::pair<QString, QString>, QUuid> byButton;
    for (const ButtonMapping& mapping : mappings)
        byButton.insert({mapping.deviceId, mapping.buttonId}, mapping.toolId);
    return byButton;
}

// The default user profile as a fresh install makes it, its mapping ids aside.
bool isUntouchedDefault(const UserProfile& profile, const QList<PacsProfile>& pacsProfiles)
{
    const PacsProfile* pacs = findById(pacsProfiles, profile.pacsProfileId);
    if (!pacs || profile.name != ProfileTemplates::defaultUserProfileName() || profile.lightingHex)
        return false;
    return toolsByButton(profile.mappings) ==
           toolsByButton(ProfileTemplates::defaultMappings(pacs->name, pacs->tools, std::nullopt));
}

// "<name> (<kind>).json", else "<name> (<kind>) <n>.json": with the temporary name
// the write makes beside it, within the longest file name most file systems take.
// Room for a number up to 9999 is always left, so that namesakes share the cut.
QString keptFileName(const QString& name, const QString& kind, int n)
{
    const QString number = n == 1 ? QString() : u' ' + QString::number(n);
    const QString tail = QStringLiteral(" (") + kind + u')' + number + QStringLiteral(".json");
    const qsizetype room = maxFileNameBytes - LocalFileSystem::maxTemporarySuffixBytes - tail.toUtf8().size() -
                           std::max<qsizetype>(0, 5 - number.size());
    QString plain = leftUtf8Bytes(plainFileNameFrom(name.trimmed()), room).trimmed();
    if (plain.isEmpty() || !isPlainFileName(plain))
        plain = QStringLiteral("Unnamed");
    return plain + tail;
}

// Writes `bytes` under the first of those names at which nothing is, unless one holds
// them already (kept at an earlier first contact that did not complete), and returns
// that name: nothing is kept twice or written over, whatever appears at a name
// meanwhile. Throws FileError.
QString keepFile(const QDir& folder, const QString& name, const QString& kind, const QByteArray& bytes)
{
    LocalFileSystem disk;
    std::optional<OwnTemporary> temporary;
    for (int n = 1;; ++n) {
        const QString fileName = keptFileName(name, kind, n);
        const QString path = folder.filePath(fileName);
        const files::FileKind entry = files::fileKind(path);
        if (entry == files::FileKind::regular && files::readRegular(path, bytes.size()).bytes == bytes)
            return fileName;
        if (entry != files::FileKind::missing)
            continue;
        try {
            if (!temporary)
                temporary.emplace(disk, path, bytes);
            if (disk.moveToFreeName(temporary->path(), path)) {
                temporary->published();
                return fileName;
            }
        } catch (const FileError& error) {
            ProfileExchange::throwNotWritten(path, error);
        }
    }
}

const QString pacsKind = QStringLiteral("PACS profile");
const QString userKind = QStringLiteral("user profile");

QByteArray userProfileFile(const UserProfile& profile, const PacsProfile* pacs)
{
    return ProfileExchange::encodeUserProfile({profile, pacs ? std::optional(pacs->name) : std::nullopt,
                                               pacs ? std::optional(pacs->tools) : std::nullopt});
}

} // namespace

bool ProfileStore::sharesProfilesWith(const QByteArray& payload) const
{
    const std::optional<LoadResult> incoming = decodePayload(payload);
    if (!incoming)
        return false;
    if (idsOf(userProfiles_.get()).intersects(idsOf(incoming->userProfiles)))
        return true;
    // A built-in added back has the same id on every machine: it was not shared.
    // Its copy number is at most one past the profiles stored when it was added.
    const int copies = int(pacsProfiles_.get().size() + incoming->pacsProfiles.size()) + 1;
    const QSet<QUuid> shared = idsOf(pacsProfiles_.get()) & idsOf(incoming->pacsProfiles);
    return std::any_of(shared.cbegin(), shared.cend(),
                       [&](const QUuid& id) { return !AddedBackIds::isProfileId(id, copies); });
}

QStringList ProfileStore::keepProfilesMissingFrom(const QByteArray& payload) const
{
    const std::optional<LoadResult> incoming = decodePayload(payload);
    // Not holdsUntouchedProfiles(): the date of an edit just made arrives later.
    if (!incoming)
        return {};
    const QList<PacsProfile> builtIns = ProfileTemplates::builtInPacsProfiles();
    const QSet<QUuid> incomingPacs = idsOf(incoming->pacsProfiles);
    const QSet<QUuid> incomingUsers = idsOf(incoming->userProfiles);
    const QDir folder = QFileInfo(fileURL()).dir();

    QStringList written;
    const auto keep = [&](const QString& name, const QString& kind, const QByteArray& bytes) {
        written.append(keepFile(folder, name, kind, bytes));
    };
    for (const PacsProfile& profile : pacsProfiles_.get()) {
        if (incomingPacs.contains(profile.id) || hasNamesakeWithTools(incoming->pacsProfiles, profile) ||
            hasNamesakeWithTools(builtIns, profile))
            continue;
        keep(profile.name, pacsKind, ProfileExchange::encodePacsProfile(profile));
    }
    for (const UserProfile& profile : userProfiles_.get()) {
        if (incomingUsers.contains(profile.id) || isUntouchedDefault(profile, pacsProfiles_.get()))
            continue;
        const PacsProfile* pacs = findById(pacsProfiles_.get(), profile.pacsProfileId);
        keep(profile.name, userKind, userProfileFile(profile, pacs));
    }
    return written;
}

QStringList ProfileStore::keepLostVersions(const QString& path, const ProfileMerge::Result& merge)
{
    const QDir folder(path);
    QStringList written;
    for (const PacsProfile& profile : merge.lostPacsProfiles)
        written.append(keepFile(folder, profile.name, pacsKind, ProfileExchange::encodePacsProfile(profile)));
    for (const ProfileMerge::LostUserProfile& lost : merge.lostUserProfiles) {
        const PacsProfile* pacs = lost.pacsProfile ? &*lost.pacsProfile : nullptr;
        written.append(keepFile(folder, lost.profile.name, userKind, userProfileFile(lost.profile, pacs)));
    }
    return written;
}

QString ProfileStore::keepDocument(const QString& folder, const QString& name, const QString& kind,
                                  const QByteArray& bytes)
{
    return keepFile(QDir(folder), name, kind, bytes);
}

} // namespace velmor
