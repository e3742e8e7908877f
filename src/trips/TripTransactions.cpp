#include "trips/TripTransactions.h"

#include "base/OperationContext.h"
#include "feedback/LogTransactie.h"
#include "trips/RideStore.h"

void LogRideTransaction(OperationContext &ctx, int rideId, int code, const QString &remark)
{
    WithSavepoint(ctx.db, [&] { return LogTransactie(ctx, 0, rideId, 0, 0, code, remark); });
}
