#pragma once

#include "trips/NewTripMapping.h"

class TemporaryKeys;
struct OperationContext;

// Applies a changed trip to its ride (the first ride with its trip number), or adds the ride when there is none;
// confirms the trip when xBevestigen is checked. The ride is stored whole or not at all.
void ApplyChange(OperationContext &ctx, TemporaryKeys &keys, const TripTexts &trip, bool manual);

// Marks the ride of a cancelled trip as removed in its remark; confirms the trip when xBevestigen is checked.
void ApplyCancellation(OperationContext &ctx, const TripTexts &trip);
