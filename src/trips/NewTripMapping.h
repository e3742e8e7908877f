#pragma once

#include "trips/NewRide.h"

class Controls;
class TemporaryKeys;
struct OperationContext;

// Maps a new trip to a ride and stores it, with its internal action, in one transaction; then the code-91
// transaction, the connection closed, LaatsteRit and Verwerkt. Returns the ride number.
// When the trip already has a ride (FindRideOfTrip), nothing is stored or counted: LaatsteRit shows that ride,
// one log line names the trip and the ride, and its number is returned for the confirmation.
int MapNewTrip(OperationContext &ctx, TemporaryKeys &keys, const TripTexts &trip, bool manual);

// Verwerkt raised by one.
void CountProcessed(Controls &controls);
