#pragma once

#include <QByteArray>
#include <QString>

// The three operations on version resources that the version reader needs, over the VS_VERSIONINFO layout. The
// resource is found in a Windows PE file (RT_VERSION in its resource section) or in an ELF file (the section named
// kVersionSectionName, which our own build fills, see MakeVersionResource).

inline constexpr char kVersionSectionName[] = ".vorano_version";

// Size in bytes of the file's version resource; 0 when the file has none (also for a missing file or an empty name).
qint64 GetFileVersionInfoSize(const QString &fileName);

// Copies the version resource into buffer (size bytes, as given by GetFileVersionInfoSize). False when the file cannot
// be read or the bytes do not hold a VS_VERSION_INFO block.
bool GetFileVersionInfo(const QString &fileName, qint64 size, QByteArray &buffer);

// One block of a loaded resource.
struct VersionBlock {
    QByteArray value;       // the value bytes (for a text block: UTF-16LE without the terminating zero)
    bool text = false;      // a zero-terminated string (wType 1)
    QString string() const; // the value of a text block
};

// Looks a block up by a path of block names separated by "\" (a leading "\" is optional; names are matched without
// regard to letter case). The path "\" (or "") gives the fixed file information of the root block. False when the
// block, or for the root its value, is absent.
bool VerQueryValue(const QByteArray &buffer, const QString &path, VersionBlock &block);
