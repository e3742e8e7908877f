#pragma once

// What one retrieval or return cycle did. The cycles count; the shell turns the counts into the journal line,
// the service manager's status and the status file.
struct CycleOutcome {
    int stored = 0;    // new trips stored as rides
    int changed = 0;   // changed trips applied
    int cancelled = 0; // cancelled trips applied
    int confirmed = 0; // trips confirmed at the service
    int refused = 0;   // trips not handled: an unknown action, an id that is no trip number, or a failure of their own
    int eventsAccepted = 0;
    int eventsRefused = 0;
    int eventsPending = -1; // events of the owner still waiting after a return cycle; -1: not looked at

    bool didSomething() const
    {
        return stored || changed || cancelled || confirmed || refused || eventsAccepted || eventsRefused;
    }
};
