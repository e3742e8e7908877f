#pragma once

#include "feedback/EventRow.h"

struct OperationContext;

// Sends one outbox event to the service as a processTrips (kop_type 0) or SendStatus document, shows it in
// UitgaanPakket, keeps the SendStatus_/RcvdStatus_ copies while BackupsMaken is checked and records every reply
// as a transaction with code 94. True only when the reply's first status is exactly "200". Errors of the exchange
// and of the copy files are thrown.
bool SendStatus(OperationContext &ctx, const EventRow &row);
