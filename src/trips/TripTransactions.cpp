#include "trips/TripTransactions.h"

#include "feedback/LogTransactie.h"

void LogRideTransaction(OperationContext &ctx, int rideId, int code, const QString &remark)
{
    LogTransactie(ctx, 0, rideId, 0, 0, code, remark);
}
