#pragma once

#include <QString>

#include <exception>
#include <string>

namespace velmor::cloud {

// A failed cloud call: a code the caller can tell apart and a text for the user.
// Thrown as is by the awaitable calls of the sync layer.
class Error : public std::exception {
public:
    enum class Code : int {
        internalError = 1,
        serviceUnavailable = 6,
        notAuthenticated = 9,
        permissionFailure = 10,
        unknownItem = 11,
        invalidArguments = 12,
        serverRecordChanged = 14,
        serverRejectedRequest = 15,
        assetFileNotFound = 16,
    };

    // An empty description takes the code's standard text.
    explicit Error(Code code, QString description = {});

    Code code() const { return code_; }
    int rawCode() const { return static_cast<int>(code_); }
    const QString& localizedDescription() const { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

    bool operator==(const Error& other) const { return code_ == other.code_ && description_ == other.description_; }

private:
    Code code_;
    QString description_;
    std::string what_;
};

// The state of the user's cloud account, as the account status call reports it.
enum class AccountStatus : int {
    couldNotDetermine = 0,
    available = 1,
    restricted = 2,
    noAccount = 3,
    temporarilyUnavailable = 4,
};

// "available", "noAccount", …: tells the statuses apart in logs.
QString accountStatusName(AccountStatus status);

} // namespace velmor::cloud
