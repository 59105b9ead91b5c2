#include "platform/hid/Result.h"

#include <cerrno>

namespace velmor::hid {

Result Result::fromErrno(int error)
{
    switch (error) {
    case 0:
        return success();
    case EBUSY:
        return exclusiveAccess();
    case EACCES:
        return notPermitted();
    case EPERM:
        return notPrivileged();
    case ENODEV:
    case ENXIO:
    case ENOENT:
        return noDevice();
    case ENOMEM:
        return noMemory();
    case EINVAL:
        return badArgument();
    case ENOTTY:
    case EOPNOTSUPP:
        return unsupported();
    case ETIMEDOUT:
        return timeout();
    case EBADF:
        return notOpen();
    case EAGAIN:
        return busy();
    default:
        return Result::error();
    }
}

QString Result::hex() const { return QStringLiteral("%1").arg(code_, 8, 16, QLatin1Char('0')).toUpper(); }

} // namespace velmor::hid
