#pragma once

#include <QString>

// The text of a log line as one line. Messages carry texts from outside (fault strings, server status texts,
// database and file names); a line break in them would start a line of its own in the day file and the journal,
// one that looks like any other entry. Every control character, the Unicode line and paragraph separators and
// the bidirectional overrides are written as an escape: "\r", "\n", "\t", otherwise "\xHH" below U+0080 and
// "\uHHHH" above. A backslash stays as it is.
QString EscapeLogText(const QString &text);
