#pragma once

#include <QString>

#include <functional>

class DispatchDb;
class RideRow;

// Stores a fully built ride row in one statement. Returns pla_id of exactly the row just stored: on SQL Server
// through OUTPUT INSERTED.pla_id, on SQLite and PostgreSQL through RETURNING pla_id; with any other driver the row
// is found again by its temporary key, which is first made unused (`nextKey` gives another key when the row's
// pla_temp is already taken). Throws DatabaseError.
// `findByKey` takes the way of the other drivers whatever the driver is.
int InsertRide(DispatchDb &db, RideRow &row, const std::function<QString()> &nextKey, bool findByKey = false);

// The start of the remark (pla_opmerking) that the import's own cancellation writes into a ride it cancels.
inline constexpr char kCancelledRemarkPrefix[] = "(VERWIJDERD ";

// The ride already made from a trip: pla_id of the first ride whose pla_extern_ritnummer is the trip number and
// whose remark does not carry the import's own cancellation mark; 0 when there is none. Uses the index on
// pla_extern_ritnummer. Throws DatabaseError.
int FindRideOfTrip(DispatchDb &db, qint32 tripNumber);

// Writes the columns of the row into the ride with this pla_id, in one statement. Throws DatabaseError.
void UpdateRide(DispatchDb &db, int rideId, const RideRow &row);

// Runs `work` inside a transaction of the connection: committed when it returns, rolled back when it throws.
void InTransaction(DispatchDb &db, const std::function<void()> &work);
