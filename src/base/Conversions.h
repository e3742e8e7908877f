#pragma once

#include <QDateTime>
#include <QString>

// The value of one digit ("0"-"9", "a"-"f", "A"-"F") in the given base (10 or 16); -1 for any other character,
// also for a digit the base does not have.
int DigitValue(QChar c, int base);

// Value of the leading (decimal, or "$"/"x"/"0x" hexadecimal) digits after blanks and an optional sign; 0 when
// there are none. Never fails; values beyond 32 bits saturate.
qint32 LeadingInt(const QString &text);

// LeadingInt written in decimal without leading zeros ("0012" gives "12", "" gives "0").
QString NormalizeNumber(const QString &text);

// Every "," and "'" replaced by a blank; the length stays the same.
QString StripSeparators(const QString &text);

// Date and minute from a yyyymmddhhnn text, as a wall-clock value (see WallDateTime.h). Throws ConversionError "Invalid
// argument to date encode" or "Invalid argument to time encode".
QDateTime ParseTripDateTime(const QString &text);
