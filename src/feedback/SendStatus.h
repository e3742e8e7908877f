#pragma once

#include "feedback/EventRow.h"
#include "link/DocumentCopies.h"

#include <QString>

#include <optional>

struct OperationContext;

// The service's answer to one event.
struct StatusAnswer {
    QString received; // the reply as a text list
    QString status;   // its first status
    std::optional<CopyPair> copies; // where the document's copy went, and the reply's goes beside it
    bool accepted() const { return status == QLatin1String("200"); }
};

// Sends one outbox event to the service as a processTrips (kop_type 0) or SendStatus document, shows it in
// UitgaanPakket and keeps its SendStatus_ copy (before the call) while BackupsMaken is checked. Errors of the
// exchange and of the copy are thrown; nothing is written into the database.
StatusAnswer SendStatus(OperationContext &ctx, const EventRow &row);

// Records the answer as a transaction with code 94 (see LogTransactie: never throws).
void RecordStatusAnswer(OperationContext &ctx, const EventRow &row, const StatusAnswer &answer);

// Keeps the RcvdStatus_ copy of the answer while BackupsMaken is checked, beside the event's SendStatus_ copy. It
// is written after the answer was recorded: a copy that cannot be written is one warning line, never a lost
// answer. Never throws.
void CopyStatusAnswer(OperationContext &ctx, const EventRow &row, StatusAnswer &answer);
