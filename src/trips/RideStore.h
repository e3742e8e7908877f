#pragma once

#include "db/SqlDialect.h"

#include <QString>
#include <QStringList>

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

// Whether Planning has kCancelledColumn, as the connection learned it once. A dispatch database set up before it
// does not; there the import writes no such mark and tells cancelled rides by the remark alone. Run it outside a
// transaction. Throws DatabaseError when the database cannot be reached.
bool HasCancelledColumn(DispatchDb &db);

// Where the rides of one trip are looked for: the trip number, the owner codes (pla_eigenaar) the import writes
// into its rides (the one in use first, then the earlier ones, newest first), and whether the database has
// kCancelledColumn.
struct TripRideKey {
    qint32 tripNumber = 0;
    QStringList owners;
    bool cancelledColumn = false;

    const QString &owner() const { return owners.first(); } // the code new rides get
};

// The live ride of a trip, and the owner code it carries.
struct LiveRide {
    int id = 0; // 0: none
    QString owner;
};

// The live ride of a trip: the first ride with the trip number that the import has not cancelled, among the
// rides of the key's owner codes in their order. Uses the index on pla_extern_ritnummer. Throws DatabaseError.
LiveRide FindLiveRide(DispatchDb &db, const TripRideKey &key);

// Inside a transaction: takes the ride with this pla_id for it, passing over a ride that another program holds
// locked instead of waiting for it. Throws DatabaseError naming the ride when it is held (or gone).
void TakeRide(DispatchDb &db, int rideId);

// Writes the columns of the row into the ride with this pla_id, in one statement. Throws DatabaseError.
void UpdateRide(DispatchDb &db, int rideId, const RideRow &row);

// Inside a transaction: runs `work` after a savepoint; when it returns false, everything it did is undone back to
// the savepoint and the transaction goes on. Throws DatabaseError when the savepoint itself fails.
void WithSavepoint(DispatchDb &db, const std::function<bool()> &work);
