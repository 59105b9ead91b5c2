#pragma once

#include <QString>

#include <stdexcept>

namespace velmor {

// The store's own error. Its one case: a sync payload that decodes in neither format.
class ProfileStoreError : public std::runtime_error {
public:
    enum class Kind { invalidPayload };

    static ProfileStoreError invalidPayload() { return ProfileStoreError(Kind::invalidPayload); }

    Kind kind() const { return kind_; }

    bool operator==(const ProfileStoreError& other) const { return kind_ == other.kind_; }

private:
    explicit ProfileStoreError(Kind kind);

    Kind kind_;
};

size_t qHash(const ProfileStoreError& error, size_t seed = 0) noexcept;

} // namespace velmor
