#pragma once

#include <QString>

// Checksum texts of a whole file, upper-case hexadecimal, as the update manifest lists them; empty when the file
// cannot be read.
QString FileCRC32(const QString &fileName); // 8 digits, most significant first
QString FileMD5(const QString &fileName);   // 32 digits
QString FileSHA1(const QString &fileName);  // 40 digits
