#pragma once

// What one retrieval or return cycle did. The cycles count; the shell turns the counts into the journal line,
// the service manager's status and the status file.
struct CycleOutcome {
    int stored = 0;        // new trips stored as rides
    int alreadyStored = 0; // new trips offered again that already have their live ride
    int changed = 0;       // changed trips applied to their ride
    int added = 0;         // changed trips without a ride, added as a new ride
    int cancelled = 0;     // cancelled trips applied to their ride
    int notFound = 0;      // cancelled trips without a live ride: nothing cancelled
    int confirmed = 0;     // confirmations sent to the service (new, changed and cancelled trips)
    int refused = 0;   // trips not handled: an unknown action, an id that is no trip number, or a failure of their own
    int dropped = 0;   // trips of an accepted reply left alone because "Ritten verwerken" is off
    int heldBack = 0;  // actions left for the next offer because an earlier action of their trip failed
    int eventsAccepted = 0;
    int eventsRefused = 0;
    int eventsPending = -1; // events of the owner still waiting after a return cycle; -1: not looked at
    int eventsWaiting = -1; // of those, the ones that cannot be sent (ride gone, no vehicle); -1: not looked at

    bool didSomething() const
    {
        return stored || alreadyStored || changed || added || cancelled || notFound || confirmed || refused || dropped ||
               heldBack ||
               eventsAccepted || eventsRefused;
    }
};
