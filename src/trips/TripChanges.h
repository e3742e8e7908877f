#pragma once

#include "trips/NewTripMapping.h"

class TemporaryKeys;
struct OperationContext;

// What a change writes, built completely before anything is stored. `found` tells whether the trip's ride exists
// (then only the changed columns are written into it); otherwise the row is a new ride with the QWijzigen defaults
// and `temporaryKey`. `manual` selects the ride text, pla_bellen and the combination of manual processing.
RideRow BuildChangedRide(const TripTexts &trip, const Controls &controls, const QDateTime &now,
                         const QString &temporaryKey, bool found, bool manual);

// Applies a changed trip to its ride (the first ride with its trip number), or adds the ride when there is none;
// confirms the trip when xBevestigen is checked. The ride is stored whole or not at all.
void ApplyChange(OperationContext &ctx, TemporaryKeys &keys, const TripTexts &trip, bool manual);

// Marks the ride of a cancelled trip as removed in its remark; confirms the trip when xBevestigen is checked.
void ApplyCancellation(OperationContext &ctx, const TripTexts &trip);
