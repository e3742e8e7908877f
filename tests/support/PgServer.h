#pragma once

#include <QString>
#include <QTemporaryDir>

class Controls;

// A throwaway PostgreSQL 15 server for one test: a fresh cluster in a temporary folder (in /dev/shm when there is
// one), listening on 127.0.0.1 on a free port with scram-sha-256 passwords, with a database "dispatch" owned by
// role "vorano" and loaded with db/postgresql.sql. The cluster is a copy of a template made once per machine and
// schema content, as initdb and loading take seconds on a busy machine. Stopped and removed when the object goes
// (a watchdog stops it as well if the test process
// dies). When the tests run as root, initdb and pg_ctl run as the user "postgres" in a folder it owns.
//
//     PgServer pg;
//     ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
//     MemoryControls controls;
//     pg.applyTo(controls);               // xLoginDriver "PostgreSQL Unicode", server, database, user, password
//     DispatchDb db(controls, programDir); // now reaches the server through QODBC
//     pg.psql("insert into wagens (wag_id) values (1)");   // arrange or inspect without the client
//
// Starting takes well under a second once the template exists. Tests that use it carry the CTest label "pg".
class PgServer {
public:
    PgServer();
    ~PgServer();
    PgServer(const PgServer &) = delete;
    PgServer &operator=(const PgServer &) = delete;

    // False when the server could not be started; error() says why (the command's output or the server log).
    bool ok() const { return m_ok; }
    QString error() const { return m_error; }

    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString server() const; // "127.0.0.1,PORT", the form the setting xLoginServer takes
    QString database() const { return QStringLiteral("dispatch"); }
    QString user() const { return QStringLiteral("vorano"); }
    QString password() const { return m_password; }
    static QString odbcDriver() { return QStringLiteral("PostgreSQL Unicode"); }

    // Sets xLoginDriver, xLoginServer, xLoginDatabase, xLoginSQL and xPaswoordSQL for this server.
    void applyTo(Controls &controls) const;

    // Stops the server (clients are disconnected) and starts it again on the same port and data.
    bool stop();
    bool start();

    // Runs SQL through psql as "vorano" on "dispatch"; returns the rows, one per line, fields separated by "|"
    // (psql -At). On failure *ok is false and the result is psql's error text.
    QString psql(const QString &sql, bool *ok = nullptr) const;

    // The same as superuser "postgres" on database "postgres" (roles, databases).
    QString psqlAdmin(const QString &sql, bool *ok = nullptr) const;

    // The server's own log, for failure messages.
    QString serverLog() const;

private:
    bool run(const QString &program, const QStringList &args, bool asPostgres, QString *output = nullptr);
    QString runPsql(const QString &user, const QString &password, const QString &database, const QStringList &args,
                    bool *ok) const;
    bool copyTemplateCluster();
    bool makeTemplateCluster(const QString &base);
    QString serverOptions(const QString &socketDir) const;
    bool pgCtl(const QString &dataDir, const QStringList &args, QString *output = nullptr);
    void startWatchdog();

    QTemporaryDir m_dir;
    QString m_binDir;
    QString m_dataDir;
    QString m_password;
    QString m_adminPassword;
    quint16 m_port = 0;
    bool m_asPostgres = false;
    bool m_running = false;
    bool m_ok = false;
    QString m_error;
};
