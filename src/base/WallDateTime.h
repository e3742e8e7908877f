#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// Date-times from documents, the database and the settings are wall-clock values: the date and time as written,
// without a zone. They are held as QDateTime with Qt::UTC only because UTC has no gaps and no repeated hours;
// nothing ever converts them to or from the local zone. A local QDateTime inside the hour skipped when
// summer time starts is invalid in Qt, and its invalidity used to turn a pick-up time into NULL or the zero date.
// "Now" is the only local time of the program; it keeps its wall time when it is stored or formatted.

// The wall-clock value of a date and a time of day.
QDateTime WallDateTime(const QDate &date, const QTime &time);

// The same date and time of day as a wall-clock value, whatever the time zone of `value` (a local value in the
// skipped hour keeps the time it was made with). Null when `value` has no date.
QDateTime ToWallDateTime(const QDateTime &value);

// Reads "yyyy-MM-dd", "yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm:ss" (a "T" instead of the blank, and a fraction of a
// second, are allowed) as a wall-clock value. Null when the text is none of these or names an impossible date.
QDateTime ParseWallDateTime(const QString &text);

// "yyyy-MM-dd HH:mm:ss" of the value's own date and time (whole seconds).
QString FormatWallDateTime(const QDateTime &value);
