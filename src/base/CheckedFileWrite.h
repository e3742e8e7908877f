#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// Writing files so that a full disk or a file-size limit never leaves an empty or short file behind. Qt buffers
// small writes, so an error may show only when the buffer is flushed: every step (write, flush, the rename or
// truncation that ends the write) is checked. The reason a write failed comes back as a short Dutch text ("de
// schijf is vol"), or empty when the file was written; callers put it into their own sentence and log it once.

// Replaces the file at `path` by `bytes` as a whole: the bytes go to a temporary file in the same folder, which
// replaces the old file only when all of them were written and flushed. On failure the old file (if there was one)
// is left as it was and the temporary file is removed. With permissions, the new file gets exactly those.
QString SaveWholeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions = {});

// Appends `bytes` to the file at `path`, creating it when missing. On failure any part of the bytes that reached
// the file is cut off again, so the file keeps exactly what it held before.
QString AppendToFile(const QString &path, const QByteArray &bytes);

// Whether a reason that SaveWholeFile or AppendToFile gave is the disk's own (full, quota, size limit, read-only,
// failing) rather than this file's: then no other file can be written either.
bool IsDiskReason(const QString &reason);

// The sentence for a file that could not be written: names the file, the reason, and that the earlier file (if
// any) is unchanged.
QString FileNotWrittenMessage(const QString &path, const QString &reason);
