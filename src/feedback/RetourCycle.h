#pragma once

#include "base/CycleOutcome.h"
#include "feedback/EventRow.h"

#include <QList>
#include <QString>

class DispatchDb;
struct OperationContext;

// The return-message cycle of RetourTimer. Owned by the main window for its whole life; it keeps only whether a
// cycle is running, so that a tick arriving during a message-loop pass of a running cycle does not start a second.
class RetourCycle
{
  public:
    // One tick: nothing at all while xBezet is unchecked; otherwise each pending event of the owner in Eigenaar is
    // sent and marked 1 (accepted) or 3 (not accepted), each in a transaction of its own that takes the event's
    // row before sending: an event whose row another program holds is not sent and waits for the next tick. The
    // first error ends the tick and is thrown; the row being handled stays pending (its transaction is rolled
    // back). Returns false when the tick was dropped because a cycle is already running, true otherwise. The counts
    // of the events sent (also those before an error) go to outcome when one is given; pending is how many of the
    // owner's events still wait.
    bool RetourTimerTimer(OperationContext &ctx, CycleOutcome *outcome = nullptr);

    bool running() const { return m_running; }

  private:
    bool m_running = false;
};
