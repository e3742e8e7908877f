#pragma once

#include "base/RegularFile.h"
#include "base/SystemError.h"

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// Writing files so that a full disk or a file-size limit never leaves an empty or short file behind. Qt buffers
// small writes, so an error may show only when the buffer is flushed: every step (write, flush, the rename or
// truncation that ends the write) is checked. The reason a write failed comes back as a short Dutch text ("de
// schijf is vol"), or empty when the file was written; callers put it into their own sentence and log it once.

// Both write only regular files, never through a link (RegularFile.h): a link, a FIFO, a device or a folder in the
// place of the file is refused with its reason and left as it is.

// Replaces the file at `path` by `bytes` as a whole: the bytes go to a new temporary file in the same folder, which
// replaces the old file only when all of them were written and flushed. On failure the old file (if there was one)
// is left as it was and the temporary file is removed. With permissions, the new file gets exactly those; without,
// those of the old file, or the system's default for a first one.
QString SaveWholeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions = {});

// Appends `bytes` to the file at `path`, creating it when missing. On failure any part of the bytes that reached
// the file is cut off again, so the file keeps exactly what it held before.
QString AppendToFile(const QString &path, const QByteArray &bytes);

// The reason for a path the program does not write or read through (a link, a folder, a FIFO or a device); empty
// for a regular file or nothing.
QString RefusedPathReason(PathKind kind);

// The reason of a failed file step by the system's error; Qt's text of file when the system says nothing more.
QString SystemErrorReason(SystemError error, const QFileDevice *file = nullptr);

// Whether a reason that SaveWholeFile or AppendToFile gave is the disk's own (full, quota, size limit, read-only,
// failing) rather than this file's: then no other file can be written either.
bool IsDiskReason(const QString &reason);

// The sentence for a file that could not be written: names the file, the reason, and that the earlier file (if
// any) is unchanged.
QString FileNotWrittenMessage(const QString &path, const QString &reason);
