#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace velmor::cloud::folder {

// The fetched records' asset files, copied into a private temporary folder that
// lives as long as the account: whoever reads a fetched asset later reads what
// the fetch read through the cloud folder's open handles, whatever has been put
// in the shared folder since (a link in place of a folder included).
class AssetCache {
public:
    AssetCache();

    // Keeps `bytes` as asset `name` of record `recordName` and gives its path; for
    // an asset the fetch found missing, a path where nothing is. Throws
    // cloud::Error when the copy cannot be written.
    QString keep(const QString& recordName, const QString& name, const std::optional<QByteArray>& bytes) const;

private:
    std::shared_ptr<QTemporaryDir> folder_;
};

} // namespace velmor::cloud::folder
