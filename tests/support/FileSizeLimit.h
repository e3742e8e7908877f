#pragma once

#include <QtGlobal>

#include <csignal>

#include <sys/resource.h>

// A full disk without a small file system: while this object lives, no file this process writes may grow past
// `bytes` (RLIMIT_FSIZE), with SIGXFSZ ignored, so a write past the limit fails with EFBIG just as a write to a
// full disk fails with ENOSPC (both after a short write, both often only at a flush). Child processes started
// meanwhile inherit the limit. The end restores the limit and the signal's handling.
class FileSizeLimit
{
  public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool ok() const { return m_ok; }

  private:
    rlimit m_before{};
    struct sigaction m_signalBefore = {};
    bool m_ok = false;
};
