#include "db/SqlDialect.h"

#include "base/VoranoError.h"
#include "base/WallDateTime.h"
#include "db/OdbcConnectionString.h"

namespace
{

const QString kSqliteDriverSetting = QStringLiteral("SQLite");

// The pending events of one owner code (a bound parameter in place of the quoted literal). %1 and %2 bound the
// number of rows, %3 lets the read pass rows another program has locked.
const QString kOutboxBatch = QStringLiteral(
    "select %1kop_status, kop_id, kop_type, pla_extern, pla_status, pla_id, pla_van, pla_naar, "
    "pla_tijdstip_bestemmen, pla_tijdstip_vrijmelden, pla_lopers, pla_rollers, pla_redenloosmelden,  pla_odo_start, "
    "pla_odo_stop, pla_route, wag_kenteken, wag_taxis, kop_datumtijd, kop_latitude, kop_longitude, "
    "pla_tijdstip_toewijzen, pla_eta, pla_eta_klok, pla_etd, pla_etd_klok from koppelingen%3 inner join planning%3 on "
    "pla_id=kop_pla_id inner join wagens on wag_id=pla_wagen where kop_status=0 and kop_eigenaar=? order by "
    "kop_eigenaar, kop_status, kop_datumtijd%2");

// The pending events of one owner code whose ride is gone (pla_id NULL) or has no vehicle in wagens: the ones the
// outbox batch never yields.
const QString kStrandedEvents = QStringLiteral(
    "select kop_id, kop_pla_id, pla_id from koppelingen left join planning on pla_id=kop_pla_id left join wagens "
    "on wag_id=pla_wagen where kop_status=0 and kop_eigenaar=? and wag_id is null order by kop_datumtijd, kop_id");
const QString kPendingEventCount =
    QStringLiteral("select count(*) from koppelingen where kop_status=0 and kop_eigenaar=?");
// The embedded database's claims: an event on its way to the service, until when (seconds since the epoch), and by
// which run of the program.
const QString kEventClaimsTable =
    QStringLiteral("CREATE TABLE IF NOT EXISTS vorano_event_claims (kop_id INTEGER PRIMARY KEY, claimed_until INTEGER "
                   "NOT NULL, claimed_by TEXT NOT NULL)");
const QString kEventClaimed =
    QStringLiteral("select kop_id from vorano_event_claims where kop_id=? and claimed_until>? and claimed_by=?");
const QString kClaimEvent = QStringLiteral(
    "insert or replace into vorano_event_claims (kop_id, claimed_until, claimed_by) values (?, ?, ?)");
const QString kReleaseEventClaim = QStringLiteral("delete from vorano_event_claims where kop_id=?");
const QString kAcceptedEvent = QStringLiteral("update koppelingen set kop_status=1 where kop_id=");
const QString kRefusedEvent = QStringLiteral("update koppelingen set kop_status=3 where kop_id=");

// PostgreSQL and SQL Server pass a row another program has locked; the embedded database has only the whole
// database's lock, which the transaction holds already.
const QString kTakeEventRow = QStringLiteral("select kop_id from koppelingen where kop_id=? and kop_status=0");
const QString kTakeEventRowPostgreSql =
    QStringLiteral("select kop_id from koppelingen where kop_id=? and kop_status=0 for update skip locked");
const QString kTakeEventRowSqlServer =
    QStringLiteral("select kop_id from koppelingen with (updlock, rowlock, readpast) where kop_id=? and kop_status=0");

const QString kTransactionRow =
    QStringLiteral("INSERT INTO TRANSACTIES (tra_gebruiker, tra_ritstaat, tra_rit, tra_wagen, tra_chauffeur, tra_code, "
                   "tra_opmerking) VALUES  (%1,%2,%3,%4,%5,%6,?)");

const QString kOwnerList = QStringLiteral("select * \r\nfrom  ExterneBronnen\r\norder by ebr_omschrijving");
const QString kCompanyConstant = QStringLiteral("select * from constanten\nwhere con_bdr_id=?");
const QString kCompanyConstantColumn = QStringLiteral("con_aanvraag_verzenden");

const QLatin1String kCancelledColumnName(kCancelledColumn);
const QString kRideText = QStringLiteral("SELECT pla_tekst FROM planning WHERE pla_id=?");
const QString kTakeRide = QStringLiteral("SELECT pla_id FROM planning WHERE pla_id=?");
const QString kTakeRidePostgreSql = QStringLiteral("SELECT pla_id FROM planning WHERE pla_id=? FOR UPDATE SKIP LOCKED");
const QString kTakeRideSqlServer =
    QStringLiteral("SELECT pla_id FROM planning WITH (UPDLOCK, ROWLOCK, READPAST) WHERE pla_id=?");
const QString kTemporaryKeyCount = QStringLiteral("SELECT COUNT(*) FROM planning WHERE pla_temp=?");
const QString kRideByTemporaryKey = QStringLiteral("SELECT pla_id FROM planning WHERE pla_temp=?");
const QString kInternalAction = QStringLiteral("insert into InterneActies (iac_rit, iac_code) values (?,?)");
// A ride without a remark (NULL) counts as live: NOT LIKE alone would leave it out.
const QString kFindLiveRide = QStringLiteral(
    "SELECT pla_id FROM planning WHERE pla_extern_ritnummer=? AND pla_eigenaar=? AND %1 ORDER BY pla_id");
const QString kLiveByRemark = QStringLiteral("(pla_opmerking IS NULL OR pla_opmerking NOT LIKE ?)");

// The claim of one installation: a lock of the session, for the owner code's key (%1). PostgreSQL's advisory lock
// has two keys, the first of which is this program's (%2); SQL Server's application lock a name, short enough to
// be shown whole in the lock's description (32 characters).
const QString kTakeClaimPostgreSql = QStringLiteral("SELECT CASE WHEN pg_try_advisory_lock(%2, %1) THEN 1 ELSE 0 END");
const QString kClaimHolderPostgreSql = QStringLiteral(
    "SELECT a.application_name FROM pg_locks l INNER JOIN pg_stat_activity a ON a.pid = l.pid WHERE l.locktype = "
    "'advisory' AND l.granted AND l.classid = %2 AND l.objid = %1 AND l.objsubid = 2");
const QString kNameSessionPostgreSql = QStringLiteral("SELECT set_config('application_name', ?, false)");
const QString kTakeClaimSqlServer =
    QStringLiteral("SET NOCOUNT ON; DECLARE @r int; EXEC @r = sp_getapplock @Resource = 'vorano/%1/', @LockMode = "
                   "'Exclusive', @LockOwner = 'Session', @LockTimeout = 0; SELECT CASE WHEN @r >= 0 THEN 1 ELSE 0 END");
// The context information of a session stays with the session, also when set in a batch of its own; other
// sessions see it in sys.dm_exec_sessions.
const QString kNameSessionSqlServer = QStringLiteral(
    "DECLARE @name varbinary(128) = CAST(CAST(? AS nvarchar(64)) AS varbinary(128)); EXEC sys.sp_executesql "
    "N'SET CONTEXT_INFO @c', N'@c varbinary(128)', @c = @name");
const QString kClaimHolderSqlServer = QStringLiteral(
    "SELECT CAST(s.context_info AS nvarchar(64)), s.host_name FROM sys.dm_tran_locks AS l INNER JOIN "
    "sys.dm_exec_sessions AS s ON s.session_id = l.request_session_id WHERE l.resource_type = 'APPLICATION' AND "
    "l.request_owner_type = 'SESSION' AND l.request_status = 'GRANT' AND l.resource_description LIKE '%vorano/%1/%'");
constexpr int kClaimProgramKey = 0x566F7261;

// A claim statement with the owner code's key and, where it has a place for it, the program's key filled in.
QString claimText(const QString &text, int key)
{
    if (text.isEmpty())
        return text;
    const QString withKey = text.arg(key);
    return withKey.contains(QLatin1String("%2")) ? withKey.arg(kClaimProgramKey) : withKey;
}

const QString kSavepointName = QStringLiteral("vorano_sp");
const QString kConnectionProbe = QStringLiteral("SELECT 1");

constexpr const char *kInvalidDateTime = "Invalid argument to date encode";

// SQLite's primary result codes.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteInterrupt = 9;

int sqliteCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    return ok ? code : -1;
}

// The ODBC drivers give the SQLSTATE as the native code, some only in their text.
bool hasState(const QSqlError &error, std::initializer_list<const char *> states)
{
    const QString code = error.nativeErrorCode();
    const QString text = error.databaseText();
    for (const char *state : states) {
        const QLatin1String s(state);
        if (code.startsWith(s) || text.contains(s))
            return true;
    }
    return false;
}

// A statement that PostgreSQL and SQL Server write their own way; SQLite and other drivers take the common one.
QString byServer(DbDialect kind, const QString &common, const QString &postgreSql, const QString &sqlServer)
{
    switch (kind) {
    case DbDialect::PostgreSQL:
        return postgreSql;
    case DbDialect::SqlServer:
        return sqlServer;
    case DbDialect::SQLite:
    case DbDialect::OtherOdbc:
        break;
    }
    return common;
}

QString placeholders(qsizetype count)
{
    QString out;
    for (qsizetype i = 0; i < count; ++i)
        out += i == 0 ? QLatin1String("?") : QLatin1String(",?");
    return out;
}

QString insertInto(const QStringList &columns, const QString &output, const QString &returning)
{
    return QLatin1String("INSERT INTO Planning (") + columns.join(QLatin1Char(',')) + QLatin1String(")") + output +
           QLatin1String(" VALUES (") + placeholders(columns.size()) + QLatin1String(")") + returning;
}

} // namespace

const SqlDialect &SqlDialect::of(DbDialect kind)
{
    static const SqlDialect sqlite(DbDialect::SQLite);
    static const SqlDialect sqlServer(DbDialect::SqlServer);
    static const SqlDialect postgreSql(DbDialect::PostgreSQL);
    static const SqlDialect otherOdbc(DbDialect::OtherOdbc);
    switch (kind) {
    case DbDialect::SQLite:
        return sqlite;
    case DbDialect::SqlServer:
        return sqlServer;
    case DbDialect::PostgreSQL:
        return postgreSql;
    case DbDialect::OtherOdbc:
        break;
    }
    return otherOdbc;
}

bool SqlDialect::isSqliteSetting(const QString &driverSetting)
{
    return driverSetting.trimmed().compare(kSqliteDriverSetting, Qt::CaseInsensitive) == 0;
}

const SqlDialect &SqlDialect::forDriver(const QString &driverSetting)
{
    const QString driver = driverSetting.trimmed();
    if (isSqliteSetting(driver))
        return of(DbDialect::SQLite);
    if (driver.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive))
        return of(DbDialect::PostgreSQL);
    if (isFreeTdsDriver(driver) || driver.contains(QLatin1String("SQL Server"), Qt::CaseInsensitive))
        return of(DbDialect::SqlServer);
    return of(DbDialect::OtherOdbc);
}

QString SqlDialect::name() const
{
    switch (m_kind) {
    case DbDialect::SQLite:
        return QStringLiteral("SQLite");
    case DbDialect::SqlServer:
        return QStringLiteral("SQL Server");
    case DbDialect::PostgreSQL:
        return QStringLiteral("PostgreSQL");
    case DbDialect::OtherOdbc:
        break;
    }
    return QStringLiteral("ODBC");
}

QString SqlDialect::beginTransaction() const
{
    // The write lock at once: a transaction that would wait for it halfway holds the read lock meanwhile, and two
    // such programs would deadlock.
    return embedded() ? QStringLiteral("BEGIN IMMEDIATE") : QString();
}

QString SqlDialect::commitTransaction() const
{
    return embedded() ? QStringLiteral("COMMIT") : QString();
}

QString SqlDialect::rollbackTransaction() const
{
    return embedded() ? QStringLiteral("ROLLBACK") : QString();
}

QString SqlDialect::savepoint() const
{
    // psqlODBC sets a savepoint of its own around every statement in a transaction and releases it after each,
    // which would take ours with it.
    return byServer(m_kind, QStringLiteral("SAVEPOINT ") + kSavepointName, {},
                    QStringLiteral("SAVE TRANSACTION ") + kSavepointName);
}

QString SqlDialect::rollbackToSavepoint() const
{
    return byServer(m_kind, QStringLiteral("ROLLBACK TO SAVEPOINT ") + kSavepointName, {},
                    QStringLiteral("ROLLBACK TRANSACTION ") + kSavepointName);
}

QString SqlDialect::transactionCheck() const
{
    return kConnectionProbe;
}

QString SqlDialect::insertRideReturningId(const QStringList &columns) const
{
    switch (m_kind) {
    case DbDialect::SqlServer:
        // OUTPUT ... INTO a table variable also works when Planning has triggers.
        return QLatin1String("SET NOCOUNT ON; DECLARE @ids TABLE (id int); ") +
               insertInto(columns, QStringLiteral(" OUTPUT INSERTED.pla_id INTO @ids"), {}) +
               QLatin1String("; SELECT id FROM @ids;");
    case DbDialect::SQLite:
    case DbDialect::PostgreSQL:
        return insertInto(columns, {}, QStringLiteral(" RETURNING pla_id"));
    case DbDialect::OtherOdbc:
        break;
    }
    return {};
}

QString SqlDialect::insertRide(const QStringList &columns) const
{
    return insertInto(columns, {}, {});
}

QString SqlDialect::updateRide(const QStringList &columns) const
{
    return QLatin1String("UPDATE Planning SET ") + columns.join(QLatin1String("=?,")) +
           QLatin1String("=? WHERE pla_id=?");
}

QString SqlDialect::findLiveRide(bool cancelledColumn) const
{
    const QString live = cancelledColumn ? QLatin1String("(") + kCancelledColumnName + QLatin1String("=0 OR (") +
                                               kCancelledColumnName + QLatin1String(" IS NULL AND ") + kLiveByRemark +
                                               QLatin1String("))")
                                         : kLiveByRemark;
    return kFindLiveRide.arg(live);
}

QString SqlDialect::rideText() const
{
    return kRideText;
}

QString SqlDialect::takeRide() const
{
    return byServer(m_kind, kTakeRide, kTakeRidePostgreSql, kTakeRideSqlServer);
}

QString SqlDialect::temporaryKeyCount() const
{
    return kTemporaryKeyCount;
}

QString SqlDialect::rideByTemporaryKey() const
{
    return kRideByTemporaryKey;
}

QString SqlDialect::internalAction() const
{
    return kInternalAction;
}

QString SqlDialect::columnProbe(const QString &table, const QString &column) const
{
    if (m_kind == DbDialect::SqlServer)
        return QStringLiteral("SELECT TOP 0 %1 FROM %2").arg(column, table);
    return QStringLiteral("SELECT %1 FROM %2 WHERE 1=0").arg(column, table);
}

QString SqlDialect::outboxBatch(int rows) const
{
    switch (m_kind) {
    case DbDialect::SqlServer:
        return kOutboxBatch.arg(QStringLiteral("top %1 ").arg(rows), QString(), QStringLiteral(" with (readpast)"));
    case DbDialect::SQLite:
    case DbDialect::PostgreSQL:
        return kOutboxBatch.arg(QString(), QStringLiteral(" limit %1").arg(rows), QString());
    case DbDialect::OtherOdbc:
        break;
    }
    return kOutboxBatch.arg(QString(), QString(), QString());
}

QString SqlDialect::strandedEvents() const
{
    return kStrandedEvents;
}

QString SqlDialect::pendingEventCount() const
{
    return kPendingEventCount;
}

QString SqlDialect::eventClaimsTable() const
{
    return m_kind == DbDialect::SQLite ? kEventClaimsTable : QString();
}

QString SqlDialect::eventClaimed() const
{
    return m_kind == DbDialect::SQLite ? kEventClaimed : QString();
}

QString SqlDialect::claimEvent() const
{
    return m_kind == DbDialect::SQLite ? kClaimEvent : QString();
}

QString SqlDialect::releaseEventClaim() const
{
    return m_kind == DbDialect::SQLite ? kReleaseEventClaim : QString();
}

QString SqlDialect::takeEventRow() const
{
    return byServer(m_kind, kTakeEventRow, kTakeEventRowPostgreSql, kTakeEventRowSqlServer);
}

QString SqlDialect::markEvent(bool accepted) const
{
    return accepted ? kAcceptedEvent : kRefusedEvent;
}

QString SqlDialect::transactionRow() const
{
    return kTransactionRow;
}

QString SqlDialect::takeClaim(int key) const
{
    return claimText(byServer(m_kind, {}, kTakeClaimPostgreSql, kTakeClaimSqlServer), key);
}

QString SqlDialect::claimHolder(int key) const
{
    return claimText(byServer(m_kind, {}, kClaimHolderPostgreSql, kClaimHolderSqlServer), key);
}

QString SqlDialect::nameSession() const
{
    return byServer(m_kind, {}, kNameSessionPostgreSql, kNameSessionSqlServer);
}

QString SqlDialect::ownerList() const
{
    return kOwnerList;
}

QString SqlDialect::companyConstant() const
{
    return kCompanyConstant;
}

QString SqlDialect::companyConstantColumn()
{
    return kCompanyConstantColumn;
}

QString SqlDialect::connectionProbe() const
{
    return kConnectionProbe;
}

bool SqlDialect::connectionLost(const QSqlError &error) const
{
    if (embedded()) {
        // The file was moved or deleted under the connection, cannot be read or written, is no database, or the
        // disk is full.
        switch (sqliteCode(error)) {
        case 8:  // SQLITE_READONLY (also the file deleted or moved under an open connection)
        case 10: // SQLITE_IOERR
        case 11: // SQLITE_CORRUPT
        case 13: // SQLITE_FULL
        case 14: // SQLITE_CANTOPEN
        case 26: // SQLITE_NOTADB
            return true;
        default:
            return false;
        }
    }
    // ODBC's connection exceptions: link failure, no connection, connection gone.
    return hasState(error, {"08S01", "08003", "08006"});
}

bool SqlDialect::lockBusy(const QSqlError &error) const
{
    switch (m_kind) {
    case DbDialect::SQLite: {
        const int code = sqliteCode(error);
        return code == kSqliteBusy || code == kSqliteLocked;
    }
    case DbDialect::PostgreSQL:
        return hasState(error, {"55P03"}); // lock_not_available
    case DbDialect::SqlServer:
        return error.databaseText().contains(QLatin1String("Lock request time out period exceeded"));
    case DbDialect::OtherOdbc:
        break;
    }
    return false;
}

bool SqlDialect::cancelled(const QSqlError &error) const
{
    if (embedded())
        return sqliteCode(error) == kSqliteInterrupt;
    // The ODBC state of a cancelled call or an expired statement time-out; PostgreSQL's own for either.
    return hasState(error, {"HY008", "HYT00", "57014"});
}

QVariant SqlDialect::dateTimeParam(const QDateTime &value) const
{
    // Every date-time is bound as the date and time it holds: a wall-clock value as written, "now" as the local
    // wall time. Nothing goes through the local zone, so the skipped and the repeated hour keep their time.
    if (value.isNull())
        return embedded() ? QVariant(QMetaType::fromType<QString>()) : QVariant(QMetaType::fromType<QDateTime>());
    if (!value.date().isValid())
        throw ConversionError(QLatin1String(kInvalidDateTime));
    if (embedded())
        return FormatWallDateTime(value);
    const QTime t = value.time();
    return WallDateTime(value.date(), QTime(t.hour(), t.minute(), t.second()));
}
