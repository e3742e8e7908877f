#pragma once

#include <QDateTime>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariant>

// The databases the program speaks to. Only src/db tells them apart; everything else asks the dialect.
enum class DbDialect { SQLite, SqlServer, PostgreSQL, OtherOdbc };

// The column in which the import marks a ride it cancelled (1) or made (0). Nothing else writes it, so a change of
// the remark, by a trip or by a person, never brings a cancelled ride back or makes a live one look cancelled.
// Rides from before the column (NULL) are told by the remark alone.
inline constexpr char kCancelledColumn[] = "pla_extern_verwijderd";

// Every SQL statement the program sends to the dispatch database, and everything else in which the databases
// differ: how a new ride's id comes back, how an event row is taken past another program's lock, savepoints,
// how a transaction begins, date-time parameters, and which errors mean a lost connection, a lock held by another
// program or a cancelled statement. One object per database, chosen from xLoginDriver when the connection opens.
//
// Statements carry values from outside as positional "?" parameters; the few that take whole numbers into the
// text say so.
class SqlDialect
{
  public:
    static const SqlDialect &of(DbDialect kind);
    // The dialect for the driver setting xLoginDriver: "SQLite" (the embedded file), an ODBC driver for SQL Server
    // (FreeTDS or Microsoft's), one for PostgreSQL, or any other ODBC driver.
    static const SqlDialect &forDriver(const QString &driverSetting);
    static bool isSqliteSetting(const QString &driverSetting);

    DbDialect kind() const { return m_kind; }
    // The database's name, as the statement overview shows it.
    QString name() const;
    // The embedded database: a file of the program's own, no server, no user.
    bool embedded() const { return m_kind == DbDialect::SQLite; }

    // --- Transactions ----------------------------------------------------------------------------------------
    // The statements that begin, commit and roll back a transaction; empty where the driver's own calls do it
    // (ODBC: automatic commit switched off and on). The embedded database takes its write lock at the start.
    QString beginTransaction() const;
    QString commitTransaction() const;
    QString rollbackTransaction() const;
    // A savepoint inside a transaction, and undoing back to it. Empty where the driver keeps savepoints of its own
    // around every statement (psqlODBC): there a failed statement is undone alone and transactionCheck() tells
    // whether the transaction goes on.
    QString savepoint() const;
    QString rollbackToSavepoint() const;
    QString transactionCheck() const;

    // --- Rides (Planning) ------------------------------------------------------------------------------------
    // Stores a ride with these columns (one "?" each) and yields its pla_id as the first column of the first row.
    // Empty where the driver has no way to: the ride is then found again by its temporary key.
    QString insertRideReturningId(const QStringList &columns) const;
    QString insertRide(const QStringList &columns) const;
    // The columns as "?" parameters, then pla_id.
    QString updateRide(const QStringList &columns) const;
    // Trip number, owner code, remark pattern; with the cancellation column or by the remark alone.
    QString findLiveRide(bool cancelledColumn) const;
    QString rideText() const;           // pla_id
    // The ride (pla_id), taken for this transaction; no row when another program holds it (or it is gone).
    QString takeRide() const;
    QString temporaryKeyCount() const;  // pla_temp
    QString rideByTemporaryKey() const; // pla_temp
    QString internalAction() const;     // iac_rit, iac_code
    // Whether `column` exists in `table`: runs without error and without rows where it does.
    QString columnProbe(const QString &table, const QString &column) const;

    // --- Events (koppelingen) and the transaction rows -------------------------------------------------------
    // The next pending events of one owner code (parameter), oldest first, at most `rows` of them.
    QString outboxBatch(int rows) const;
    // Pending events of one owner code whose ride or vehicle is gone.
    QString strandedEvents() const;
    // How many events of one owner code wait to be sent.
    QString pendingEventCount() const;
    // The embedded database holds no row lock: an event on its way to the service is claimed in a table of the
    // program's own, in short transactions before and after the call, so that the database is never locked across
    // the call. Empty for the servers, which keep the event's row locked instead.
    QString eventClaimsTable() const;  // made when the database is opened
    QString eventClaimed() const;      // (kop_id, now, run): a row while a claim of this run holds
    QString claimEvent() const;        // (kop_id, until, run)
    QString releaseEventClaim() const; // (kop_id)
    // The row of one pending event (kop_id), taken for this transaction; no row when another program holds it.
    QString takeEventRow() const;
    // The mark of a sent event; the event's kop_id follows as a whole number.
    QString markEvent(bool accepted) const;
    // The transaction row: %1..%6 user, ride state, ride, vehicle, driver and code as whole numbers; the remark
    // as parameter.
    QString transactionRow() const;

    // --- One installation per database and owner code --------------------------------------------------------
    // A lock of the connection's session, taken by one installation for one owner code (its key, a whole number
    // that goes into the text) and held until the connection ends. Empty where the database has none: the embedded
    // one is claimed by a lock file beside it, another ODBC driver not at all.
    // One row: 1 when this session holds the lock now, 0 when another does.
    QString takeClaim(int key) const;
    // The session that holds the lock: one row whose first non-empty column names it (the name nameSession() gave
    // it, else its host), none when the server does not say.
    QString claimHolder(int key) const;
    // Gives this session a name (parameter: host and folder) that claimHolder() shows another installation.
    QString nameSession() const;

    // --- Reference data --------------------------------------------------------------------------------------
    QString ownerList() const;
    QString companyConstant() const; // con_bdr_id
    static QString companyConstantColumn();

    // --- Connection ------------------------------------------------------------------------------------------
    // A cheap statement every database accepts, to tell a rejected statement from a lost connection.
    QString connectionProbe() const;
    // Whether the error of a failed statement by itself says the connection is of no use any more. Where it
    // cannot say, probeAfterFailure() asks the server with connectionProbe().
    bool connectionLost(const QSqlError &error) const;
    bool probeAfterFailure() const { return !embedded(); }
    // Another program holds the lock the statement needed.
    bool lockBusy(const QSqlError &error) const;
    // The statement was cancelled (by the program's stop or by the statement time-out).
    bool cancelled(const QSqlError &error) const;

    // A date-time as the driver takes it: text "YYYY-MM-DD HH:MM:SS" on the embedded database, a date-time in
    // whole seconds over ODBC; never converted through the local zone. A null value is NULL of the right type; any
    // other value without a valid date throws ConversionError.
    QVariant dateTimeParam(const QDateTime &value) const;

  private:
    explicit SqlDialect(DbDialect kind)
        : m_kind(kind)
    {
    }

    DbDialect m_kind;
};
