#pragma once

#include <QString>

struct OperationContext;

// Sends ConfirmTrips for one trip (its id text as read, and the ride number as externalID) through a fresh stub
// and keeps the reply as an OstrelResult copy. The reply is not examined.
void ConfirmTrip(OperationContext &ctx, const QString &tripIdText, const QString &externalId);
