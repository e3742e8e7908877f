#pragma once

#include <QByteArray>

// The weight of a log line. Standard error carries the syslog priority of each line when it is the journal.
enum class LogLevel { Error, Warning, Information };

// The syslog priority prefix of a line: "<3>", "<4>" or "<6>".
QByteArray JournalPrefix(LogLevel level);

// Whether the process's standard error is the journal: JOURNAL_STREAM names the device and inode of the stream
// the service manager connected, and standard error still is that stream (not redirected since).
bool StandardErrorIsJournal();

// The bytes for standard error: every line of the text with the prefix of the level when prefixed is true.
QByteArray StandardErrorLines(const QByteArray &text, LogLevel level, bool prefixed);
