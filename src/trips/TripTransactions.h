#pragma once

#include <QString>

struct OperationContext;

// A transaction row about a ride the import made or changed (ride state, vehicle and driver 0), written inside
// the ride's own database transaction, so the ride and its row are stored together or not at all. A refused row
// is one log line and is undone back to a savepoint: it never costs the ride. Throws DatabaseError only when the
// savepoint cannot be set or rolled back to (the connection is gone).
void LogRideTransaction(OperationContext &ctx, int rideId, int code, const QString &remark);
