#pragma once

#include <QString>

// The text of a log line as one line. Messages carry texts from outside (fault strings, server status texts,
// database and file names); a line break in them would start a line of its own in the day file and the journal,
// one that looks like any other entry. Every control character, the Unicode line and paragraph separators and
// every bidirectional control (marks, embeddings, overrides, isolates) are written as an escape: "\r", "\n", "\t",
// otherwise "\xHH" below U+0080 and "\uHHHH" above. A backslash stays as it is.
QString EscapeLogText(const QString &text);

// The most characters a message takes in a log line, the mark of a cut included. The journal cuts a line at
// 48 KiB and reads what follows as a new entry with a priority of its own; 4,000 characters stay far below that
// in any encoding, so a long text from outside can never end in a second, forged entry.
inline constexpr qsizetype kMaxLogMessage = 4000;
// What ends a message that was cut.
inline constexpr char16_t kLogCutMark[] = u"\u2026 [ingekort]";

// The message of a log line: escaped (EscapeLogText), then cut to kMaxLogMessage characters that end in the mark
// when it is longer.
QString LogMessageText(const QString &message);
