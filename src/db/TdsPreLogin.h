#pragma once

#include <QString>

// What a SQL Server says about encryption in the pre-login exchange, the first message of every connection and
// the only one sent before the login (which carries the user name and password).
enum class TdsEncryption {
    Offered,    // the server can encrypt the connection
    NotOffered, // the server answered that it does not support encryption
    Unknown,    // no answer, no such server, or an answer that could not be read
};

// Connects to host:port, sends a pre-login message only and reads the server's answer; nothing of the login is
// sent. Gives up after timeoutMs.
TdsEncryption ProbeTdsEncryption(const QString &host, quint16 port, int timeoutMs);

// The host and port of the "SQL server" setting ("host" or "host,port"; 1433 when no port is given). False for a
// named instance ("host\instance"), whose port only the server's browser service knows.
bool TdsHostAndPort(const QString &server, QString *host, quint16 *port);
