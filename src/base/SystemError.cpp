#include "base/SystemError.h"

#include <cerrno>

void ClearSystemError()
{
    errno = 0;
}

SystemError LastSystemError()
{
    switch (errno) {
    case ENOSPC:
        return SystemError::DiskFull;
    case EDQUOT:
        return SystemError::QuotaExceeded;
    case EFBIG:
        return SystemError::FileTooLarge;
    case EROFS:
        return SystemError::ReadOnlyFileSystem;
    case EACCES:
    case EPERM:
        return SystemError::PermissionDenied;
    case ENOENT:
        return SystemError::NoSuchFolder;
    case ENOTDIR:
        return SystemError::NotAFolder;
    case EISDIR:
        return SystemError::IsAFolder;
    case EIO:
        return SystemError::DeviceError;
    default:
        return SystemError::Other;
    }
}
