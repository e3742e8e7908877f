
#include "base/AbortToken.h"
#include "link/NetworkConnections.h"
#include "support/TestNetwork.h"

#include <QCoreApplication>

namespace
{

NetworkConnections *g_network = nullptr;

void dropNetwork()
{
    delete g_network;
    g_network = nullptr;
}

} // namespace

NetworkConnections &TestNetwork()
{
    if (!g_network) {
        g_network = new NetworkConnections;
        qAddPostRoutine(&dropNetwork);
    }
    return *g_network;
}

AbortToken &NoStop()
{
    static AbortToken stop;
    return stop;
}
