#pragma once

#include "base/CycleOutcome.h"
#include "trips/RideDefaults.h"

#include <QDate>
#include <QHash>
#include <QString>

#include <functional>

struct OperationContext;

// Asks the user for a reply file; returns its path, or an empty text when the user cancels. The window shows the
// file-open dialog (default extension "xml", no filter); tests hand in a name.
using ChooseReplyFile = std::function<QString()>;

// The trip import: the retrieval cycle and manual processing of a saved reply. The main window owns one instance
// (it keeps the generator of the temporary keys for the whole run) and must not start one operation inside
// another.
class TripImport {
public:
    // One retrieval cycle: RetrieveTrips, then every trip of an accepted reply stored, changed or cancelled and
    // confirmed. Errors of the request and the transport propagate; once the trips are being read, an error ends
    // the cycle with one log line. Returns what the cycle did with the trips.
    CycleOutcome runRetrievalCycle(OperationContext &ctx);

    // Processes a RetrieveTrips reply from a file the user chooses. An unreadable or empty file propagates a
    // FileError; once the trips are being read, an error ends the run with one log line.
    void runManualProcessing(OperationContext &ctx, const ChooseReplyFile &chooseFile);

    // A trip the service offers again after it was refused (it stays unconfirmed, so it comes every minute): the
    // reason is said once a day, and the same trip text gets one copy.
    struct Refusal {
        QByteArray fingerprint; // of the trip's text
        QString reason;
        QDate saidOn;
    };
    using RefusedTrips = QHash<QString, Refusal>; // by trip id

private:
    TemporaryKeys m_keys;
    RefusedTrips m_refused;
};
