#pragma once

#include <QString>

struct OperationContext;

// A transaction row about a ride the import made or changed (ride state, vehicle and driver 0). Never throws: a
// failure is one log line and the import goes on.
void LogRideTransaction(OperationContext &ctx, int rideId, int code, const QString &remark);
