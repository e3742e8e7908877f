#pragma once

#include <QtGlobal>

#include <set>

// The TCP connections that libraries open on sockets of their own and never hand out (the platform's HTTP client,
// an ODBC driver). Linux finds them through /proc/self/fd (ProcessSockets.cpp). Windows offers no list of a
// process's sockets: there every function finds none (ProcessSocketsWin.cpp), and the libraries' own time-outs
// bound their exchanges.

// The identities of the sockets the process has open now.
std::set<unsigned long> OpenSocketIds();

// Shuts down the connected TCP sockets that are not in before and whose peer port is port (0: any port).
void ShutDownNewConnections(const std::set<unsigned long> &before, quint16 port);

// Keep-alive with these times on the connected TCP sockets whose peer port is peerPort.
void EnableKeepAlive(quint16 peerPort, int idleSeconds, int intervalSeconds, int probes);
