#pragma once

#include <QString>

// One program per working folder: an exclusive lock on the lock file in that folder, held for the life of the
// object (the system lets go of it when the process ends, also after a kill). Linux: flock; Windows: LockFileEx.
class FolderLock
{
  public:
    static constexpr const char *kFileName = "VoranoOstrel.lock";

    explicit FolderLock(const QString &folder);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // Takes the lock without waiting; false when another process holds it or the file cannot be opened
    // (errorString() says which).
    bool tryLock();
    const QString &errorString() const { return m_error; }
    const QString &filePath() const { return m_path; }

  private:
    QString m_path;
    QString m_error;
    qintptr m_handle = -1; // the open lock file (a descriptor or a Windows handle)
};
