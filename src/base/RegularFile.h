#pragma once

#include <QFile>
#include <QString>

#include <optional>

// The files the program keeps in its data folder (settings, lock, status file, day files, copies) are opened
// without following a symbolic link and only when they are regular files: a link, a FIFO or a device put in the
// place of one is refused, never followed and never waited on (a FIFO without a writer would hold an open for
// ever). Linux: RegularFile.cpp (O_NOFOLLOW, O_NONBLOCK, fstat); Windows: RegularFileWin.cpp (links and
// junctions refused before the open). The Dutch reasons are CheckedFileWrite's.

// What stands at a path, looked at without following a link.
enum class PathKind { Missing, RegularFile, Folder, Link, Other };

enum class FileOpening {
    Read,      // an existing file, read only
    Append,    // written at its end; made when missing
    ReadWrite, // read and written in place (a lock file); made when missing
    CreateNew, // a new file; refused when anything has that name
};

PathKind KindAt(const QString &path);

// Opens the regular file at path into file (unbuffered). A file made now gets permissions, or the system's default
// (the umask's) when empty. False with reason (a short Dutch text) when it is missing, not a regular file or
// cannot be opened.
bool OpenRegularFile(QFile &file, const QString &path, FileOpening how, QString &reason,
                     QFileDevice::Permissions permissions = {});

// Writes what the system still holds of an open file to the disk, before the file is renamed over an earlier one:
// a power cut then leaves the old file or the whole new one. Windows: the rename writes through.
bool SyncToDisk(QFile &file);

// The same as a descriptor, for the lock files (flock works on it): -1 with reason when refused. Linux only.
int OpenRegularFileDescriptor(const QString &path, FileOpening how, QString &reason, int mode = 0600);

// Owner and mode of what stands at a path (a link's own), for the checks of the data folder; none where the
// platform keeps its rights elsewhere (Windows: access lists) or the path cannot be looked at.
struct PathStatus {
    PathKind kind = PathKind::Missing;
    uint owner = 0;
    uint mode = 0; // permission bits (07777)
};
std::optional<PathStatus> StatusAt(const QString &path);

// The user the program runs as (its effective user id).
uint RunningUser();
