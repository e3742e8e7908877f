#pragma once

#include "base/AbortToken.h"
#include "base/VoranoError.h"
#include "db/SqlDialect.h"
#include "settings/Controls.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

// Another installation holds the database for this owner code; holder() is what it says of itself (host and
// folder), empty when the database does not tell.
class DatabaseClaimed : public DatabaseError
{
  public:
    DatabaseClaimed(const QString &message, QString holder)
        : DatabaseError(message)
        , m_holder(std::move(holder))
    {
    }
    const QString &holder() const { return m_holder; }

  private:
    QString m_holder;
};

// The one connection to the dispatch database ("ADO"). The connection string is rebuilt from the controls
// before every opening; statements open the connection on demand. All failures throw DatabaseError with the
// driver's message.
class AbortToken;
class HolderLock;

class DispatchDb
{
  public:
    DispatchDb(const Controls &controls, QString programDir, QString connectionName = QStringLiteral("ADO"));
    ~DispatchDb();
    DispatchDb(const DispatchDb &) = delete;
    DispatchDb &operator=(const DispatchDb &) = delete;

    // The statements and ways of the database: those of the open connection, or while closed those that
    // xLoginDriver names now.
    const SqlDialect &dialect() const;

    // Where the connection writes a line about itself that is not an error of the statement at hand (the
    // embedded database file created). The main window hands in its log.
    void setLog(std::function<void(const QString &)> log) { m_log = std::move(log); }

    // One installation per database and owner code: with a holder text set (its host and folder), every opening
    // of the connection (the first, and each after a lost connection or a change of settings) claims the database
    // for the owner code that Eigenaar names, and the claim ends when the connection closes. A claim held by
    // another installation fails the opening with DatabaseClaimed and leaves the connection closed. The claim is a
    // lock of the server session (PostgreSQL's advisory lock, SQL Server's application lock) or, for the embedded
    // database, a lock file beside it that names its holder. Probe only: the claim is tried and let go again at
    // once, and the lock file is neither made nor written (--check).
    void setClaim(const QString &holder, bool probeOnly = false);
    // How an installation names itself as the holder of a claim: the host's name and its working folder.
    static QString installationName(const QString &programDir);

    void open();
    void close();
    bool isOpen() const;

    // The open connection (opens it when closed).
    QSqlDatabase connection();

    // Runs one statement with positional ("?") bound parameters, opening the connection on demand.
    // A SELECT's result is returned forward-only, positioned before the first row. Over ODBC a statement that
    // gets no answer within the statement time-out fails (a row locked by another program, a server that stopped
    // answering) instead of blocking the program for good. After a failed statement the connection is closed
    // when it no longer works, so the next use opens it afresh.
    QSqlQuery exec(const QString &sql, const QVariantList &params = {});

    // Seconds an ODBC statement may take; the default is that of the dispatch product's own provider.
    static constexpr int kDefaultStatementTimeoutSeconds = 30;
    // The token that cancels a running statement and refuses new ones (the program's stop; without one, only the
    // statement time-out ends a statement).
    void setAbortToken(AbortToken &token) { m_abortToken = &token; }
    // Whether the stop has been asked for.
    bool stopAsked() const { return m_abortToken->tripped(); }
    void setStatementTimeout(int seconds) { m_statementTimeout = seconds; }

    // How long a statement on the embedded database waits for another program's lock.
    static constexpr int kSqliteBusyTimeoutMs = 5000;

    // One transaction on the connection: committed by commit(), rolled back when the object goes without it
    // (an exception, a return). On the embedded database it takes the database's write lock at once, waiting at
    // most lockWaitMs for another program that holds it; over ODBC its statements take their own row locks.
    // A closed connection ends the transaction (rolled back); commit() then has nothing left to commit.
    // Failures throw DatabaseError; so does a lock that stays busy, unless the caller asked to hear of it
    // (begun() false) to try again later. Transactions do not nest.
    class Transaction
    {
      public:
        enum class Busy { Throw, Report };
        explicit Transaction(DispatchDb &db, int lockWaitMs = kSqliteBusyTimeoutMs, Busy busy = Busy::Throw);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;

        bool begun() const { return m_begun; }
        void commit();

      private:
        DispatchDb &m_db;
        bool m_begun = false;
    };
    bool inTransaction() const { return m_inTransaction && isOpen(); }

    // Whether `table` has `column`, asked once and kept until forgetColumns(), a change of the connection settings
    // or a lost connection (a database restored from a backup). Run it outside a transaction. Throws DatabaseError
    // when the database cannot be reached.
    bool hasColumn(const QString &table, const QString &column);
    void forgetColumns() { m_columns.clear(); }

    // While a Completion lives, a stop of the program (the abort token) neither refuses nor cancels statements:
    // they record what the service has already answered. Over ODBC each is then bounded by the stop grace.
    class Completion
    {
      public:
        explicit Completion(DispatchDb &db)
            : m_db(db)
        {
            ++m_db.m_completing;
        }
        ~Completion() { --m_db.m_completing; }
        Completion(const Completion &) = delete;
        Completion &operator=(const Completion &) = delete;

      private:
        DispatchDb &m_db;
    };

    // The constants query (ADOConst): con_aanvraag_verzenden of the company whose number is the leading digits of
    // xBedrijf; 0 when there is no row or the column is empty.
    int readCompanyConstant();

    // Date-time values: SQLite keeps them as "YYYY-MM-DD HH:MM:SS" text, the ODBC drivers as date-time (whole
    // seconds). Both get the date and time the value holds, never converted through the local zone (see
    // base/WallDateTime.h). exec() converts QDateTime parameters itself. A null QDateTime is bound as NULL; any
    // other value without a valid date throws ConversionError, so nothing becomes NULL by accident.
    QVariant dateTimeParam(const QDateTime &value) const;
    // A date-time as read from any of the drivers (QDateTime, QDate or text), as a wall-clock value; null for NULL
    // and empty values (callers that need "the zero date-time" for a missing value decide that). A text that is no
    // date-time throws ConversionError "'<text>' is not a valid date and time[ for field '<column>']".
    static QDateTime toDateTime(const QVariant &value, const QString &column = {});

    // The file of the embedded database as the settings name it now (SQLite only): xLoginDatabase relative to the
    // program folder, "Vorano/dispatch.sqlite" when empty.
    // The file is made, with all its tables, only when it does not exist: the tables are created in a file of its
    // own next to it, which is then renamed into place, so an interrupted creation never leaves a file without
    // tables. A file that this object has opened before and that is gone is an error (DatabaseError), never
    // replaced by an empty one: the rides, ride numbers and events in it would start again from nothing.
    QString sqlitePath() const;

  private:
    void takeClaim();
    [[noreturn]] void refuseClaim(const QString &owner, const QString &holder);
    bool beginTransaction(int lockWaitMs);
    void commitTransaction();
    void rollbackTransaction() noexcept;
    QString connectionIdentity() const;
    QSqlDatabase handle(const QString &qtDriver);
    void openSqlite();
    void createSqliteFile(const QString &path);
    void openOdbc();
    void dropConnectionIfLost(const QSqlError &error);
    bool sqliteFileGone() const;

    const Controls &m_controls;
    QString m_programDir;
    QString m_connectionName;
    const SqlDialect *m_openDialect = &SqlDialect::of(DbDialect::SQLite); // that of the connection while open
    QString m_columnsOf;            // the connection identity the known columns belong to
    QHash<QString, bool> m_columns; // "table.column" -> present
    int m_statementTimeout = kDefaultStatementTimeoutSeconds;
    std::function<void(const QString &)> m_log;
    QSet<QString> m_seenSqliteFiles; // embedded database files opened by this object
    QString m_openSqlitePath;        // the file of the open embedded connection
    AbortToken m_ownToken; // never tripped: the token until setAbortToken
    AbortToken *m_abortToken;
    bool m_inTransaction = false;
    int m_completing = 0;
    QString m_claimHolder; // empty: no claim
    bool m_claimProbeOnly = false;
    std::unique_ptr<HolderLock> m_claimFile; // the embedded database's claim while held
};
