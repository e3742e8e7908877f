#pragma once

#include "support/CycleHarness.h"

#include <QVariantMap>

// The cycle harness as the import tests use it: the scripted service (each call answered "200" unless scripted
// otherwise), log-in name and password set, the clock fixed at 31-03-2015 07:05:09, and the cycles called
// directly, so that an error that ends one reaches the test.
class ImportHarness : public CycleHarness
{
  public:
    ImportHarness();

    void cycle() { tripImport.runRetrievalCycle(ctx()); }
    void manual(const QString &path)
    {
        tripImport.runManualProcessing(ctx(), [path] { return path; });
    }

    // Every column of the ride (names in lower case).
    QVariantMap ride(int id);
    QList<int> rideIds();
    // The ConfirmTrips documents sent, as (id, externalID) texts.
    QList<QPair<QString, QString>> confirmations() const;
};
