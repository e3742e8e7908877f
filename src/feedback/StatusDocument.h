#pragma once

#include "feedback/EventRow.h"

#include <QDateTime>
#include <QString>

// The two documents that report an outbox event: processTrips (version 1.2) for the final report of a ride
// (kop_type 0), SendStatus (version 2.3) for every other event type. One line each, values inserted unescaped.
QString BuildStatusDocument(const EventRow &row, const QString &userName, const QString &password);
QString BuildSendStatusDocument(const EventRow &row, const QString &userName, const QString &password);
QString BuildProcessTripsDocument(const EventRow &row, const QString &userName, const QString &password);

// yyyymmddhhnnss; a missing (invalid) value gives the zero date 18991230000000.
QString FormatStatusDateTime(const QDateTime &value);

// A decimal text rounded half away from zero to five decimals, written with a decimal comma whatever the locale
// ("52.370216" gives "52,37022"). An empty or unreadable text gives "0,00000".
QString FormatCoordinate(const QString &decimal);

// A decimal text times 1000, the fraction dropped towards zero ("12345.67" gives "12345670"); computed on the
// digits, so no value is off by one. An empty or unreadable text gives "0".
QString FormatOdometer(const QString &decimal);
