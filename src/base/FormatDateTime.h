#pragma once

#include <QDateTime>
#include <QString>

// Formats a date-time with the program's patterns: "dd"/"d" day, "mm"/"m" month, "yyyy" year, "hh"/"h" hour,
// "nn"/"n" minute, "ss"/"s" second; "m" or "mm" directly after an hour means the minute. ":" is the time separator;
// every other character stands for itself.
QString FormatDateTime(const QString &pattern, const QDateTime &at);

// The patterns in use.
inline constexpr const char *kLogLinePattern = "dd-mm-yyyy hh:nn ";
inline constexpr const char *kCancelRemarkPattern = "dd-mm hh:nn";
inline constexpr const char *kTripFilePattern = "ddmmhhmmss";
inline constexpr const char *kReplyFilePattern = "ddmmhhnnssms";
inline constexpr const char *kStatusDateTimePattern = "yyyymmddhhnnss";
inline constexpr const char *kTempKeyPattern = "yyyymmddhhnnssms";
