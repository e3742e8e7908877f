#pragma once

#include "trips/NewRide.h"

// What a change writes, built completely before anything is stored. `found` tells whether the trip's ride exists
// (then only the changed columns are written into it); otherwise the row is a new ride with the QWijzigen defaults
// and `temporaryKey`. `manual` selects the ride text, pla_bellen and the combination of manual processing.
RideRow BuildChangedRide(const TripTexts &trip, const Controls &controls, const QDateTime &now,
                         const QString &temporaryKey, bool found, bool manual);
