#pragma once

#include "trips/NewTripMapping.h"

class TemporaryKeys;
struct OperationContext;

// What a change or a cancellation did: whether the trip had a live ride, and whether it was confirmed.
struct ChangeResult {
    bool rideFound = false;
    bool confirmed = false;
};

// Applies a changed trip to its ride (the first ride with its trip number), or adds the ride when there is none;
// confirms the trip when xBevestigen is checked. The ride is stored whole or not at all.
ChangeResult ApplyChange(OperationContext &ctx, TemporaryKeys &keys, const TripTexts &trip, bool manual);

// Marks the ride of a cancelled trip as removed in its remark; confirms the trip when xBevestigen is checked. A
// trip without a live ride cancels nothing: one line of information, and the confirmation says 0.
ChangeResult ApplyCancellation(OperationContext &ctx, const TripTexts &trip);
