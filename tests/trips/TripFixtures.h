#pragma once

#include "trips/NewRide.h"

#include <QString>

// Small trips for the import tests.
namespace TripFixtures {

// tests/data/trips/<name> as text.
QString read(const QString &name);

// A trip element split as the retrieval cycle splits it: client content removed from the trip.
TripTexts split(const QString &tripElement);

// A trip element with the given id and action, the client part and further elements (raw XML) appended.
QString trip(const QString &id, const QString &action, const QString &elements = {},
             const QString &client = QStringLiteral("<lastname>Jansen</lastname><firstname>Piet</firstname>"));

// A RetrieveTrips reply holding the trips (raw XML).
QString reply(const QString &trips, const QString &status = QStringLiteral("200"),
              const QString &name = QStringLiteral("RetrieveTrips"));

// The usual valid dates of a trip.
inline const char *kDates =
    "<fromdatetime>201305141530</fromdatetime><destinationdatetime>201305141615</destinationdatetime>";

} // namespace TripFixtures
