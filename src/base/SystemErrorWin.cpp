#include "base/SystemError.h"

#include <windows.h>

namespace
{
// ERROR_DISK_QUOTA_EXCEEDED, which MinGW-w64's headers lack.
constexpr DWORD kDiskQuotaExceeded = 1295;
} // namespace

void ClearSystemError()
{
    ::SetLastError(ERROR_SUCCESS);
}

SystemError LastSystemError()
{
    switch (::GetLastError()) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return SystemError::DiskFull;
    case kDiskQuotaExceeded:
        return SystemError::QuotaExceeded;
    case ERROR_FILE_TOO_LARGE:
        return SystemError::FileTooLarge;
    case ERROR_WRITE_PROTECT:
        return SystemError::ReadOnlyFileSystem;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return SystemError::PermissionDenied;
    case ERROR_PATH_NOT_FOUND:
        return SystemError::NoSuchFolder;
    case ERROR_DIRECTORY:
        return SystemError::NotAFolder;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
        return SystemError::DeviceError;
    default:
        return SystemError::Other;
    }
}
