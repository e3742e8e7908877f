#include "base/FolderLock.h"

#include <QDir>

#include <windows.h>

FolderLock::FolderLock(const QString &folder)
    : m_path(QDir(folder).filePath(QLatin1String(kFileName)))
{
}

FolderLock::~FolderLock()
{
    if (m_handle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle)); // closing lets go of the lock; the file stays
}

bool FolderLock::tryLock()
{
    if (m_handle != -1)
        return true;
    // Shared opening, so a second start can open the file and find the byte locked; an existing file is opened as
    // it is. The handle is not inherited by programs the process starts (the updater).
    const std::wstring path = QDir::toNativeSeparators(m_path).toStdWString();
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_error = qt_error_string(int(::GetLastError()));
        return false;
    }
    OVERLAPPED at = {};
    if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(file);
        m_error = error == ERROR_LOCK_VIOLATION ? QString() : qt_error_string(int(error));
        return false;
    }
    m_handle = reinterpret_cast<qintptr>(file);
    return true;
}
