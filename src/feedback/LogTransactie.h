#pragma once

#include "base/OperationContext.h"

#include <QString>

class Controls;
class DispatchDb;

// Transaction codes written by the client.
inline constexpr int kTransactieNieuweRit = 91;      // a new ride made from a new trip
inline constexpr int kTransactieGewijzigdeRit = 92;  // an existing ride changed or cancelled
inline constexpr int kTransactieStatusAntwoord = 94; // a reply to a status or processTrips document

// Appends one row to TRANSACTIES. The user number is the leading digits of Gebruiker at this moment (0 when it
// has none); the remark arrives unchanged whatever characters it holds (it is a bound parameter, never joined
// into the statement). Never throws: a failure writes no row and goes to logError as one log line, and the
// caller goes on as if the row had been written. Returns whether the row was written (a caller inside a
// transaction undoes the failed statement with it).
bool LogTransactie(DispatchDb &db, const Controls &controls, const ErrorHook &logError, int rideState, int ride,
                   int vehicle, int driver, int code, const QString &remark);

// The same with the database, controls and error hook of an operation.
bool LogTransactie(const OperationContext &context, int rideState, int ride, int vehicle, int driver, int code,
                   const QString &remark);
