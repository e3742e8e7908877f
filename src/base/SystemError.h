#pragma once

// The system's own reason for a failed file operation, where it says more than Qt's text. Linux reads errno
// (SystemError.cpp), Windows GetLastError (SystemErrorWin.cpp).
enum class SystemError {
    Other,
    DiskFull,
    QuotaExceeded,
    FileTooLarge,
    ReadOnlyFileSystem,
    PermissionDenied,
    NoSuchFolder,
    NotAFolder,
    IsAFolder,
    DeviceError,
};

// Forgets the last error, before the step whose failure is to be explained.
void ClearSystemError();

// The reason of the last failed step; read right after it, before anything else can change it.
SystemError LastSystemError();
