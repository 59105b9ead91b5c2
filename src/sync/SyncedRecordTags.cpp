#include "sync/SyncedRecordTags.h"

#include <QCryptographicHash>
#include <QtEndian>

#include <algorithm>

namespace velmor {

namespace {

constexpr qsizetype digestBytes = sizeof(quint64);

} // namespace

quint64 SyncedRecordTags::digestOf(const QString& tag)
{
    // A tag is whatever the folder holds: only its digest is kept, always 8 bytes.
    const QByteArray hash = QCryptographicHash::hash(tag.toUtf8(), QCryptographicHash::Sha256);
    return qFromBigEndian<quint64>(hash.constData());
}

bool SyncedRecordTags::holds(const QString& account, const QString& tag) const
{
    return !tag.isEmpty() && account == account_ && known_.contains(digestOf(tag));
}

bool SyncedRecordTags::append(quint64 digest)
{
    if (known_.contains(digest))
        return false;
    order_.append(digest);
    known_.insert(digest);
    if (order_.size() > maxTags)
        known_.remove(order_.takeFirst());
    return true;
}

bool SyncedRecordTags::add(const QString& account, const QStringList& tags)
{
    bool changed = false;
    if (account != account_) {
        *this = SyncedRecordTags();
        account_ = account;
        changed = true;
    }
    // Latest first in the stamp: the oldest of them goes in first.
    for (auto tag = tags.crbegin(); tag != tags.crend(); ++tag) {
        if (!tag->isEmpty() && append(digestOf(*tag)))
            changed = true;
    }
    return changed;
}

QByteArray SyncedRecordTags::encoded() const
{
    QByteArray bytes(order_.size() * digestBytes, '\0');
    for (qsizetype i = 0; i < order_.size(); ++i)
        qToBigEndian(order_.at(i), bytes.data() + i * digestBytes);
    return bytes.toBase64();
}

SyncedRecordTags SyncedRecordTags::decoded(const QString& account, const QByteArray& text)
{
    SyncedRecordTags tags;
    const QByteArray::FromBase64Result bytes =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (account.isEmpty() || !bytes || bytes.decoded.size() % digestBytes != 0)
        return tags;
    tags.account_ = account;
    const qsizetype count = bytes.decoded.size() / digestBytes;
    // A longer list than this build keeps loses its oldest.
    for (qsizetype i = std::max<qsizetype>(0, count - maxTags); i < count; ++i)
        tags.append(qFromBigEndian<quint64>(bytes.decoded.constData() + i * digestBytes));
    return tags;
}

} // namespace velmor
