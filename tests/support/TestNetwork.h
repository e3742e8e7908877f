#pragma once

#include "service/Operations.h"

class AbortToken;
class NetworkConnections;

// The network connections of a test program: made at the first use, gone with the application object (as the
// program's own go at its end).
NetworkConnections &TestNetwork();

// A stop that nothing in the tests trips, for operations that are never stopped.
AbortToken &NoStop();

// What the program hands its operations, in a test: TestNetwork() and the given stop.
inline ProgramLinks TestLinks(AbortToken &stop)
{
    return ProgramLinks{TestNetwork(), stop};
}
