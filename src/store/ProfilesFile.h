#pragma once

#include "store/FileSystem.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace velmor {

// profiles.json and the files kept beside it, on raw bytes:
//   profiles.json.backup   the file as it was before the latest save that wrote it;
//   profiles.json.damaged  a profiles file that could not be read, kept for the user;
//   profiles.json.legacy   the old-format file, kept before the first save over it;
//   profiles.json.external a profiles file someone else wrote while Velmor ran, kept
//                          before a save replaces it.
// A file kept aside is never written over: a later one of its kind gets the next
// free name ("….damaged-2", "….external-3", …), whatever is at the names taken.
// Every file is written as a temporary file of this process
// ("‹file›.velmor-‹pid›-‹n›", beside the target of a link the user made in place of
// profiles.json, so that the save replaces the target and keeps the link), then
// renamed into place; profiles.json is never missing or half written.
class ProfilesFile {
public:
    enum class Format { current, legacy, unreadable };
    // Tells which format a document is in (the store decodes it for real).
    using Classifier = std::function<Format(const QByteArray&)>;

    struct Notice {
        QString title;
        QString message;
        bool operator==(const Notice&) const = default;
    };

    struct Loaded {
        // The document to use: profiles.json, or the backup when profiles.json was damaged.
        std::optional<QByteArray> bytes;
        bool fromBackup = false;
        // When the file the document came from was last changed.
        std::optional<QDateTime> modified;
        // profiles.json existed but could not be read or decoded.
        bool wasDamaged = false;
        QList<Notice> notices;
    };

    enum class SaveOutcome { written, unchanged, failed };
    struct SaveResult {
        SaveOutcome outcome = SaveOutcome::failed;
        // In the order the user should see them.
        QList<Notice> notices;
        // Where versions someone else wrote were kept by this save.
        QStringList keptExternal;
        // The save failed because the data folder cannot be written: the failure for
        // the log ("Failed to save profiles: Read-only file system"); the one notice
        // then says what that means.
        std::optional<QString> unwritable;
    };

    ProfilesFile(const QString& folder, std::shared_ptr<FileSystem> fileSystem, Classifier classify);

    const QString& path() const { return path_; }
    QString backupPath() const { return path_ + QStringLiteral(".backup"); }
    // Where the n-th file of each kind kept aside goes (n from 1).
    QString damagedPath(int n = 1) const { return keptPath(QStringLiteral(".damaged"), n); }
    QString legacyPath(int n = 1) const { return keptPath(QStringLiteral(".legacy"), n); }
    QString externalPath(int n) const { return keptPath(QStringLiteral(".external"), n); }

    bool exists() const { return fileSystem_->exists(path_); }
    // Why the data folder cannot be written, while it cannot ("Read-only file system").
    std::optional<QString> unwritableFolder() const;
    // What the user is told once while no change can be saved there.
    Notice unwritableNotice(const QString& cause) const;
    std::optional<QDateTime> modificationTime() const;

    // Reads profiles.json. A file that exists but cannot be read or decoded is kept
    // as profiles.json.damaged and the backup is offered in its place, with a warning.
    // `decode` judges the documents read (the classifier when not given); the
    // store's keeps what it decoded, so that nothing is decoded twice.
    Loaded load(const Classifier& decode = {});

    // Writes `document` as the new profiles.json: a version someone else wrote
    // since the last load or save kept aside (with a warning that names where),
    // backup refreshed, legacy or damaged file kept, temporary file written and read
    // back, then renamed into
    // place. A document equal to the one last written or loaded, still on disk
    // (told by the file's stamp, else by its bytes), is not written again. A failure
    // restores the backup when profiles.json is then missing or unreadable; no
    // temporary file outlives the call. With `changedAt`, profiles.json (written or
    // not) is dated then instead of the time of the write.
    SaveResult save(const QByteArray& document, const std::optional<QDateTime>& changedAt = std::nullopt);
    // save(lastDocument()), for a caller that knows its document is still that one.
    SaveResult saveAgain(const std::optional<QDateTime>& changedAt = std::nullopt);
    // For the next start: a version someone else wrote that was kept at `kept` when
    // Velmor last ran, its notice not shown then (a save at quit); it tells to put
    // the version where the profiles' content lives (a link's target).
    Notice untoldExternalNotice(const QString& kept) const;
    // For the next start: a copy of `file` that was being kept aside when Velmor
    // stopped, now kept at `kept`.
    static Notice unfinishedCopyNotice(const QString& file, const QString& kept);

    // The document last written or loaded; none after a load found none.
    std::optional<QByteArray> lastDocument() const;

private:
    // The document last written or loaded, and the stamp profiles.json had
    // then; while the stamp is the same, the file is known to hold it unread.
    struct Document {
        QByteArray bytes;
        Format format = Format::current;
        std::optional<FileStamp> stamp;
    };

    SaveResult save(const QByteArray& document, bool isLast, const std::optional<QDateTime>& changedAt);
    // Dates `path` at `time` when given and it differs; true when the date changed.
    // A file that cannot be dated keeps its write time: later than its change, never lost.
    bool date(const QString& path, const std::optional<QDateTime>& time);
    bool hasStampOfLastDocument() const;
    // Whether profiles.json still holds the last document; reads it only when
    // its stamp changed.
    bool holdsLastDocument();
    // The stamp of profiles.json, when it did not change while `work` ran.
    template <typename Work>
    std::optional<FileStamp> stampAround(Work work);
    // None when `path` cannot be read, with the reason in *error.
    std::optional<QByteArray> tryRead(const QString& path, QString* error = nullptr) const;
    // Why a document read whole cannot be used, in a sentence naming profiles.json.
    QString decodeProblem(const QByteArray& bytes) const;
    bool isUsable(const std::optional<QByteArray>& bytes) const;
    // "profiles.json‹kind›", then "profiles.json‹kind›-2", ….
    QString keptPath(const QString& kind, int n) const;
    // Copies `bytes` to `target` through a temporary file and a rename.
    void replaceWith(const QString& target, const QByteArray& bytes);
    // Copies `bytes` to the first free name of `kind` and returns it; throws FileError.
    QString keepAside(const QString& kind, const QByteArray& bytes);
    // Keeps the unusable profiles.json as profiles.json.damaged (or the next free
    // name) and returns where; none when that failed.
    std::optional<QString> keepDamaged(const std::optional<QByteArray>& bytes);
    // The current profiles.json and its format, for the backup; for an unreadable
    // one, why.
    struct CurrentFile {
        std::optional<QByteArray> bytes;
        Format format = Format::unreadable;
        QString cause;
    };
    CurrentFile currentFile();
    void writeDocument(const QByteArray& document, const std::optional<QDateTime>& changedAt, SaveResult& result);
    void restoreBackup(QList<Notice>& notices);
    // Keeps `current` (what profiles.json holds now) aside when Velmor did not put it
    // there and has not kept it already; throws FileError when it cannot be kept.
    void keepExternal(const CurrentFile& current, SaveResult& result);
    // profiles.json now holds `bytes` (none: nothing) by Velmor's own doing.
    void saw(const std::optional<QByteArray>& bytes) { seen_ = bytes; }

    QString path_;
    std::shared_ptr<FileSystem> fileSystem_;
    Classifier classify_;
    std::optional<Document> last_;
    // The damaged content already kept and reported, so that it is not reported
    // twice, and where it is.
    std::optional<QByteArray> keptDamaged_;
    QString keptDamagedPath_;
    // The legacy content already kept, so that a save tried again keeps it once.
    std::optional<QByteArray> keptLegacy_;
    // What profiles.json held when Velmor last read, wrote or restored it (an empty
    // optional inside: no file); unknown before the first load. Anything else found
    // there before a save was written by someone else.
    std::optional<std::optional<QByteArray>> seen_;
    // The external version kept last, so that a save tried again keeps it once.
    std::optional<QByteArray> keptExternal_;
};

} // namespace velmor
