#pragma once

#include <QString>
#include <QStringList>

#include "base/VoranoError.h"
#include "settings/Controls.h"

// Small values a trip yields, shared by new trips, changes and manual processing.

// "T" when the leading digits of the text are not 0, otherwise "F" (the wheelchair and combination marks).
QString WheelchairMark(const QString &wheelchairText);
QString CombineMark(const QString &combinationText);

// First character of the vehicle-type list's value for the id inside the trip's vehicletype; empty when the list
// has no line for it.
QString VehicleLetter(const Controls &controls, const QString &tripText);

// The tariff code: the leading digits of xStandaardTarief.
qint32 TariffCode(const Controls &controls);

// Strict conversion: optional leading blanks and sign, then only digits (or a "$"/"x"/"0x" hexadecimal number),
// within 32 bits. Returns false when the text is not such a number.
bool StrictInt(const QString &text, qint32 &value);

// A setting that does not convert: it fails every trip alike, so it ends the walk over the trips.
class SettingError : public ConversionError
{
    using ConversionError::ConversionError;
};

// A setting converted strictly; throws SettingError "''<text>'' is not a valid integer value".
qint32 SettingInt(const Controls &controls, Control control);

// A value converted strictly for a column; throws ConversionError
// "'<text>' is not a valid integer value for field '<column>'".
qint32 FieldInt(const QString &text, const QString &column);

// The trip's id as text: the trip element's own "id" child, decoded. Never a deeper one (the vehicle type's, an
// equipment's), and never the next one after an empty "<id/>": an empty or blank id stays empty or blank.
QString TripIdText(const QString &tripText);

// The service's trip number: the leading digits of the trip's id. A number beyond 32 bits cannot be stored in the
// ride's external number columns without becoming another trip's number, so it throws ConversionError.
qint32 TripNumber(const QString &idText);

// The trip id as a whole number: only digits, with blanks around them, from 1 up to the largest 32-bit number.
// Anything else is no trip number the ride columns can hold.
bool WholeTripNumber(const QString &idText, qint32 &number);

// Lower case of the letters A to Z only; every other character stays as it is.
QString LowerAsciiLetters(const QString &text);
