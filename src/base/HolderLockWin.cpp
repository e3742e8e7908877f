#include "base/HolderLock.h"

#include <QDir>

#include <windows.h>

namespace
{

constexpr DWORD kMaxHolderBytes = 4096;
// The locked byte lies past the holder's text, so another process can still read who holds the lock.
constexpr DWORD kLockedByte = 0x7FFFFFF0;

HANDLE openFile(const QString &path, DWORD access, DWORD disposition)
{
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    return ::CreateFileW(native.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

HolderLock::HolderLock(QString path)
    : m_path(std::move(path))
{
}

HolderLock::~HolderLock()
{
    unlock();
}

bool HolderLock::fail(int error)
{
    m_error = qt_error_string(error);
    return false;
}

bool HolderLock::take(qintptr handle)
{
    HANDLE file = reinterpret_cast<HANDLE>(handle);
    m_holder.clear();
    m_error.clear();
    OVERLAPPED at = {};
    at.Offset = kLockedByte;
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return true;
    const DWORD error = ::GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING)
        return fail(int(error));
    char buffer[kMaxHolderBytes];
    DWORD n = 0;
    OVERLAPPED from = {};
    if (!::ReadFile(file, buffer, sizeof buffer, &n, &from))
        n = 0;
    m_holder = QString::fromUtf8(buffer, qsizetype(n)).trimmed();
    return false;
}

void HolderLock::unlock()
{
    if (m_fd != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_fd)); // closing lets go of the lock; the file stays
    m_fd = -1;
}

bool HolderLock::probe()
{
    if (m_fd != -1)
        return true;
    HANDLE file = openFile(m_path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || fail(int(error));
    }
    const bool free = take(reinterpret_cast<qintptr>(file));
    ::CloseHandle(file);
    return free;
}

bool HolderLock::tryLock(const QString &holder)
{
    if (m_fd != -1)
        return true;
    HANDLE file = openFile(m_path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (file == INVALID_HANDLE_VALUE)
        return fail(int(::GetLastError()));
    if (!take(reinterpret_cast<qintptr>(file))) {
        ::CloseHandle(file);
        return false;
    }
    // The name is only for the log line of another process: a failure to write it does not undo the lock.
    const QByteArray text = holder.toUtf8() + "\r\n";
    DWORD written = 0;
    if (::SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER && ::SetEndOfFile(file))
        ::WriteFile(file, text.constData(), DWORD(text.size()), &written, nullptr);
    m_fd = reinterpret_cast<qintptr>(file);
    return true;
}
