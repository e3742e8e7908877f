#pragma once

#include <QString>
#include <QtGlobal>

// An exclusive lock on a file that names its holder: the holder writes a text into the file (its host and folder),
// and a process that finds the lock taken reads that text to say who holds it. The system lets go of the lock
// when the object goes or the process ends, also after a kill; the file stays.
class HolderLock
{
  public:
    explicit HolderLock(QString path);
    ~HolderLock();
    HolderLock(const HolderLock &) = delete;
    HolderLock &operator=(const HolderLock &) = delete;

    // Takes the lock without waiting and writes holder into the file. False when another holds it (holder()
    // then names it) or the file cannot be opened (errorString()).
    bool tryLock(const QString &holder);
    // Whether the lock is free now, without taking it and without making or writing the file. False when another
    // holds it (holder() then names it).
    bool probe();
    void unlock();
    bool locked() const { return m_fd >= 0; }
    // The text the holder wrote, after a refused tryLock.
    const QString &holder() const { return m_holder; }
    const QString &errorString() const { return m_error; }
    const QString &filePath() const { return m_path; }

  private:
    bool fail(int error);
    bool take(qintptr fd); // the lock on the open file, or the holder's text

    QString m_path;
    QString m_holder;
    QString m_error;
    qintptr m_fd = -1; // the open file (a descriptor, or a handle on Windows) while locked
};
