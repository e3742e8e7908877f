#pragma once

#include "trips/NewRide.h"

#include "trips/RideStore.h"

class Controls;
class TemporaryKeys;
struct OperationContext;

// Where the rides of this trip are looked for: the trip number within the rides of the owner in Eigenaar.
TripRideKey RideKeyOfTrip(OperationContext &ctx, qint32 tripNumber);

// Maps a new trip to a ride and stores it, with its internal action and its code-91 transaction row, in one
// transaction; then the connection closed, LaatsteRit and Verwerkt. Returns the ride number.
// When the trip already has a live ride of our owner (FindLiveRide), nothing is stored or counted: LaatsteRit
// shows that ride, one line of information names the trip and the ride, alreadyStored (when given) is set, and
// its number is returned for the confirmation.
int MapNewTrip(OperationContext &ctx, TemporaryKeys &keys, const TripTexts &trip, bool manual,
               bool *alreadyStored = nullptr);

// Verwerkt raised by one.
void CountProcessed(Controls &controls);
