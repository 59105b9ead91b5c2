#include "store/ProfileStoreError.h"

#include <QHashFunctions>

namespace velmor {

namespace {
const char* describe(ProfileStoreError::Kind kind)
{
    switch (kind) {
    case ProfileStoreError::Kind::invalidPayload:
        return "the sync payload is not a profiles document";
    }
    return "profile store error";
}
} // namespace

ProfileStoreError::ProfileStoreError(Kind kind) : std::runtime_error(describe(kind)), kind_(kind) {}

size_t qHash(const ProfileStoreError& error, size_t seed) noexcept
{
    return ::qHash(static_cast<int>(error.kind()), seed);
}

} // namespace velmor
