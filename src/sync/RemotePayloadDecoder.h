#pragma once

#include "platform/SerialQueue.h"
#include "platform/cloud/Record.h"
#include "store/LoadResult.h"
#include "store/RepairedDocument.h"
#include "store/SyncChangeSummary.h"
#include "sync/ChangesApart.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QStringList>

#include <memory>
#include <optional>

namespace velmor {

// The heavy halves of taking a downloaded profiles payload, away from the window's
// thread: decoding and repairing it, once, merging it with changes made here, keeping
// what the merge lost as files, and saying in words what taking it changed.
class RemotePayloadDecoder {
public:
    RemotePayloadDecoder();

    // A payload decoded to be taken, repaired as the store repairs what it takes
    // (ProfileStore::repaired): its profiles (none when it is no profiles document) and,
    // where they might not fit in `maxDocumentBytes`, the size of the document they make
    // as this computer writes it (else 0). `standing`: this computer's removed built-ins,
    // which stand where the payload has none. Resumes on the main queue.
    struct Decoded {
        std::optional<RepairedDocument> profiles;
        qint64 writtenBytes = 0;
    };
    QCoro::Task<std::optional<Decoded>> decode(QByteArray payload, qint64 maxDocumentBytes,
                                               BuiltInRemovals standing = {});
    // ProfileStore::repaired(), resuming on the main queue.
    QCoro::Task<std::optional<RepairedDocument>> repair(LoadResult document);
    // Resumes on the main queue; none when nothing changed. The lists are shared
    // copies, so the window's thread may go on editing its own meanwhile; the
    // queue lets go of its copies itself.
    QCoro::Task<std::optional<SyncChangeSummary::Notice>> summarize(LoadResult before, LoadResult after);
    // ChangesApart::compare(), resuming on the main queue; a merge that might not fit in
    // `maxDocumentBytes` is measured (ChangesApart::mergedBytes).
    QCoro::Task<std::optional<ChangesApart>> compare(std::optional<QByteArray> base, QByteArray local, QByteArray remote,
                                                     bool recordUnchanged, ProfileMerge::Later later,
                                                     qint64 maxDocumentBytes, bool recordFollows = true);
    // The versions a merge lost, written as files into `folder` (ProfileStore::keepLostVersions):
    // the file names, or why one could not be written. With `replaced`, also each of its
    // profiles that the merge's profiles lack or hold otherwise.
    struct Kept {
        QStringList files;
        std::optional<QString> error;
    };
    QCoro::Task<std::optional<Kept>> keepLost(QString folder, ProfileMerge::Result merge,
                                              std::optional<LoadResult> replaced = std::nullopt);
    // The same with `replaced` a document, read here; none kept when it holds no profiles.
    QCoro::Task<std::optional<Kept>> keepReplaced(QString folder, LoadResult taken, QByteArray replaced);
    // A record's payload that is not taken, written as a file into `folder`
    // (ProfileStore::keepDocument) under "‹name› (‹kind›).json".
    QCoro::Task<std::optional<Kept>> keepPayload(QString folder, QString name, QString kind, QByteArray payload);
    // Lets go of a record away from the window's thread: giving back the pages of a
    // payload of many megabytes costs the thread that frees it milliseconds.
    void release(std::optional<cloud::Record> record);
    // The same for a document's bytes, and for a document's profiles (a store's
    // snapshot, a decoded payload), whose many small parts cost still more to free.
    void release(QByteArray document);
    void release(LoadResult profiles);

private:
    template <typename T>
    void releaseLater(T held);

    std::shared_ptr<SerialQueue> queue_;
    std::shared_ptr<SerialQueue> releaser_;
};

} // namespace velmor
