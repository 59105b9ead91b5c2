#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace velmor {

// The records this computer synced with one account, and the ones they descend from,
// each told by a short digest of its change tag: a copy of one put back is known as
// one however long ago it was synced, while the stamp of the base names only the
// latest few. Bounded: once full, the oldest go first.
class SyncedRecordTags {
public:
    // Some months of a busy computer's uploads, in 64 KiB.
    static constexpr qsizetype maxTags = 8192;

    // Whether `tag` is one of `account`'s records met before.
    bool holds(const QString& account, const QString& tag) const;
    // Adds the tags met with `account` (another account's list starts anew); true when
    // anything changed.
    bool add(const QString& account, const QStringList& tags);
    const QString& account() const { return account_; }
    qsizetype size() const { return order_.size(); }

    // The digests, oldest first, as text; and the list from such text (bad text is none).
    QByteArray encoded() const;
    static SyncedRecordTags decoded(const QString& account, const QByteArray& text);

    bool operator==(const SyncedRecordTags& other) const
    {
        return account_ == other.account_ && order_ == other.order_;
    }

private:
    static quint64 digestOf(const QString& tag);
    // False when it was known.
    bool append(quint64 digest);

    QString account_;
    QList<quint64> order_;
    QSet<quint64> known_;
};

} // namespace velmor
