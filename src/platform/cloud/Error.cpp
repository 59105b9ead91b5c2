#include "platform/cloud/Error.h"

namespace velmor::cloud {

namespace {

QString standardText(Error::Code code)
{
    switch (code) {
    case Error::Code::internalError:
        return QStringLiteral("An internal error occurred in the cloud database.");
    case Error::Code::serviceUnavailable:
        return QStringLiteral("The cloud database is busy. Try again later.");
    case Error::Code::notAuthenticated:
        return QStringLiteral("No cloud account is available.");
    case Error::Code::permissionFailure:
        return QStringLiteral("The cloud database could not be written.");
    case Error::Code::unknownItem:
        return QStringLiteral("The item does not exist in the cloud database.");
    case Error::Code::invalidArguments:
        return QStringLiteral("The request to the cloud database was invalid.");
    case Error::Code::serverRecordChanged:
        return QStringLiteral("The record was changed by another client.");
    case Error::Code::serverRejectedRequest:
        return QStringLiteral("The cloud database rejected the request.");
    case Error::Code::assetFileNotFound:
        return QStringLiteral("A file to upload could not be read.");
    }
    return QStringLiteral("Cloud database error %1.").arg(static_cast<int>(code));
}

} // namespace

Error::Error(Code code, QString description)
    : code_(code), description_(description.isEmpty() ? standardText(code) : std::move(description))
{
    what_ = QStringLiteral("cloud error %1: %2").arg(static_cast<int>(code_)).arg(description_).toStdString();
}

QString accountStatusName(AccountStatus status)
{
    switch (status) {
    case AccountStatus::couldNotDetermine:
        return QStringLiteral("couldNotDetermine");
    case AccountStatus::available:
        return QStringLiteral("available");
    case AccountStatus::restricted:
        return QStringLiteral("restricted");
    case AccountStatus::noAccount:
        return QStringLiteral("noAccount");
    case AccountStatus::temporarilyUnavailable:
        return QStringLiteral("temporarilyUnavailable");
    }
    return QStringLiteral("unknown(%1)").arg(static_cast<int>(status));
}

} // namespace velmor::cloud
