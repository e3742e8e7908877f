#pragma once

#include <QByteArray>
#include <QString>

// Reads one value of an INI-format text the way the Windows profile functions do: section and key names are matched
// without regard to surrounding blanks and to the letter case of A to Z (only: under Unicode case folding "ſ" would
// count as "s"), the first matching section and key win, blanks around the
// value are dropped and one pair of enclosing quotes is removed, and at most kMaxProfileValue characters arrive.
// An absent section or key reads as an empty string.
inline constexpr qsizetype kMaxProfileValue = 2047;

QString ReadProfileString(const QString &text, const QString &section, const QString &key);

// The text with A to Z made a to z and every other character as it is.
QString AsciiLower(const QString &text);

// The same for a file (UTF-16 and UTF-8 byte-order marks are honoured, otherwise see DecodeAnsiText). A file that
// cannot be read gives empty values.
QString GetPrivateProfileString(const QString &section, const QString &key, const QString &fileName);

// Text of a file read without a byte-order mark: UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252.
QString DecodeAnsiText(const QByteArray &bytes);

// Text of a file: a byte-order mark selects UTF-8 or UTF-16 in either byte order, otherwise DecodeAnsiText.
QString DecodeText(const QByteArray &bytes);
