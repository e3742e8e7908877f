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
    // Ticks at which an event's ride must be found gone before its waiting is said.
    static constexpr int kTicksWithRideGone = 2;
    // Waiting events kept in mind at a time; the rest are counted only.
    static constexpr int kMostWatched = 10000;

    explicit RetourCycle(int batchSize = kBatchSize)
        : m_batchSize(batchSize)
    {
    }

    // One tick: nothing at all while xBezet is unchecked; otherwise each pending event of the owner in Eigenaar is
    // sent and marked 1 (accepted) or 3 (not accepted) as the service answered, read in batches, with the
    // operations that fell due meanwhile run between two batches. Each event is taken before it is sent (see
    // EventWay in the source): one that another program holds is not sent and waits for the next tick. Events
    // whose ride is gone or has no vehicle stay pending and unsent, said once when they start and once when they
    // stop waiting, and counted in eventsWaiting. The first error ends the tick and is thrown; the event being
    // handled stays pending. Returns false when the tick was dropped because a cycle is already running, true
    // otherwise. The counts of the events sent (also those before an error) go to outcome when one is given, and
    // eventsPending, how many of the owner's events still wait, is counted at the end of every tick.
    bool RetourTimerTimer(OperationContext &ctx, CycleOutcome *outcome = nullptr);

    bool running() const { return m_running; }

  private:
    void sendPendingEvents(OperationContext &ctx, const QString &owner, CycleOutcome &counts);
    void countPendingEvents(OperationContext &ctx, const QString &owner, CycleOutcome &counts);
    void watchWaitingEvents(OperationContext &ctx, const QString &owner, CycleOutcome &counts);

    struct Waiting {
        qint64 ride = 0;
        bool rideGone = false;
        int ticks = 0;     // ticks in a row at which it was found waiting
        bool said = false; // whether its waiting was said
    };

    int m_batchSize;
    bool m_running = false;
    QHash<qint64, Waiting> m_waiting; // event key: the event found waiting at the last tick
};
