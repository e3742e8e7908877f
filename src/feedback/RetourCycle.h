#pragma once

#include "base/CycleOutcome.h"
#include "feedback/EventRow.h"

#include <QHash>
#include <QList>
#include <QString>

class DispatchDb;
struct OperationContext;

// The return-message cycle of RetourTimer. Owned by the main window for its whole life; it keeps whether a cycle
// is running, so that a tick arriving during a message-loop pass of a running cycle does not start a second, and
// how many ticks in a row each event that cannot be sent has been found so.
class RetourCycle
{
  public:
    // Events read from the outbox at a time.
    static constexpr int kBatchSize = 500;
    // Ticks at which an event's ride must be found gone, or without a vehicle, before the event leaves the queue.
    static constexpr int kTicksWithRideGone = 2;
    static constexpr int kTicksWithoutVehicle = 60;

    explicit RetourCycle(int batchSize = kBatchSize)
        : m_batchSize(batchSize)
    {
    }

    // One tick: nothing at all while xBezet is unchecked; otherwise each pending event of the owner in Eigenaar is
    // sent and marked 1 (accepted) or 3 (not accepted), read in batches, with the operations that fell due
    // meanwhile run between two batches; each event is sent in a transaction of its own that takes the event's row
    // before sending: an event whose row another program holds is not sent and waits for the next tick. Events
    // whose ride is gone or has no vehicle leave the queue marked 3 after a few ticks, each with a log line. The
    // first error ends the tick and is thrown; the row being handled stays pending (its transaction is rolled
    // back). Returns false when the tick was dropped because a cycle is already running, true otherwise. The counts
    // of the events sent (also those before an error) go to outcome when one is given; pending is how many of the
    // owner's events still wait.
    bool RetourTimerTimer(OperationContext &ctx, CycleOutcome *outcome = nullptr);

    bool running() const { return m_running; }

  private:
    void retireStrandedEvents(OperationContext &ctx, const QString &owner);

    int m_batchSize;
    bool m_running = false;
    QHash<qint64, int> m_strandedTicks; // event key: ticks at which it was found stranded, one after another
};
