#pragma once

#include <QString>

// The four database settings as the user typed them.
struct DbLogin {
    QString driver;                      // xLoginDriver: an ODBC driver name
    QString server;                      // xLoginServer: "host", "host\instance" or "host,port"
    QString database;                    // xLoginDatabase
    QString user;                        // xLoginSQL
    QString password;                    // xPaswoordSQL
    bool trustServerCertificate = false; // xSqlCertNegeren: accept a certificate the driver cannot verify
    bool allowUnencrypted = false;       // xSqlOnversleuteld: log in also where the server cannot encrypt
};

// Builds the DSN-less ODBC connection string for SQL Server authentication, rebuilt before every opening.
// Microsoft's drivers check the server's certificate (version 18 by default); trustServerCertificate turns that
// check off with TrustServerCertificate=yes, for the self-signed certificates company servers often have. The
// other drivers check no certificate unless told to, so nothing is added for them.
// The login (user name and password) never crosses the network in clear: FreeTDS is told Encryption=require and
// Microsoft's drivers Encrypt=yes, so a server that offers no encryption is refused before the login is sent.
// allowUnencrypted (for an old server on a trusted network) leaves FreeTDS at its default and gives Microsoft's
// drivers Encrypt=no.
// User name and password go into the string itself: Qt's own UID/PWD handling passes a terminating NUL to
// FreeTDS. Values are brace-quoted only where the ODBC rule needs it. Throws DatabaseError (a Dutch message
// naming the setting) for a value that the driver cannot be given unchanged.
QString OdbcConnectionString(const DbLogin &login);

// The connect options set on every ODBC connection: ODBC 3 behaviour and a login time-out, so a server that
// accepts the connection but never answers cannot hang the program.
inline constexpr int kOdbcLoginTimeoutSeconds = 15;
QString OdbcConnectOptions();

// True when the string built for login refuses a server without encryption.
bool encryptionRequired(const DbLogin &login);

// True for the FreeTDS driver name (letter case ignored).
bool isFreeTdsDriver(const QString &driver);

// True for the names of Microsoft's ODBC drivers for SQL Server (letter case ignored).
bool isMicrosoftSqlServerDriver(const QString &driver);
