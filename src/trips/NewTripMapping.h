#pragma once

#include "trips/NewRide.h"

#include "trips/RideStore.h"

class Controls;
class TemporaryKeys;
struct OperationContext;

// Where the rides of this trip are looked for: the trip number within the rides of the owner in Eigenaar and of
// the owner codes the program used before it (GebruikteEigenaren), which remembers Eigenaar from now on.
TripRideKey RideKeyOfTrip(OperationContext &ctx, qint32 tripNumber);

// The live ride of the trip (FindLiveRide). A ride found under an earlier owner code is named, with both codes, in
// one line of information.
LiveRide FindTripRide(OperationContext &ctx, const TripRideKey &key);

// Maps a new trip to a ride and stores it, with its internal action and its code-91 transaction row, in one
// transaction; then the connection closed, LaatsteRit and Verwerkt. Returns the ride number.
// When the trip already has a live ride of our owner codes (FindTripRide), nothing is stored or counted: LaatsteRit
// shows that ride, one line of information names the trip and the ride, alreadyStored (when given) is set, and
// its number is returned for the confirmation.
int MapNewTrip(OperationContext &ctx, TemporaryKeys &keys, const TripTexts &trip, bool manual,
               bool *alreadyStored = nullptr);

// Verwerkt raised by one.
void CountProcessed(Controls &controls);
