#include "db/DispatchDb.h"

#include "base/AbortToken.h"
#include "base/SocketDeadline.h"
#include "base/Conversions.h"
#include "base/HolderLock.h"
#include "base/VoranoError.h"
#include "base/WallDateTime.h"
#include "db/DbSchemaSqlite.h"
#include "db/DbScript.h"
#include "db/OdbcConnectionString.h"
#include "db/SqliteInterrupt.h"
#include "db/TdsPreLogin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlResult>
#include <QStringList>
#include <QSysInfo>
#include <QUrl>

#include "db/OdbcApi.h"

namespace
{

const QString kDefaultSqliteFile = QStringLiteral("Vorano/dispatch.sqlite");

// The driver's own words: ODBC and SQLite put them in databaseText; Qt's summary only when there are none.
QString messageOf(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Onbekende databasefout");
    // Some drivers put each diagnostic on a line of its own; the log keeps one line per error.
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

// Two DispatchDb objects (tests, benchmarks, tools) must not share one Qt connection, also when neither has
// opened yet. Connections are made and used on the user-interface thread only.
QSet<QString> &reservedConnectionNames()
{
    static QSet<QString> names;
    return names;
}

QString reserveConnectionName(const QString &wanted)
{
    int serial = 0;
    QString name = wanted;
    while (reservedConnectionNames().contains(name) || QSqlDatabase::contains(name))
        name = wanted + QLatin1Char('#') + QString::number(++serial);
    reservedConnectionNames().insert(name);
    return name;
}

// Qt has no setting for it, so the attribute goes on the prepared statement's own ODBC handle.
void setOdbcQueryTimeout(const QSqlQuery &q, int seconds)
{
    const QVariant handle = q.result() ? q.result()->handle() : QVariant();
    if (!handle.isValid() || handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return;
    SQLHANDLE statement = *static_cast<const SQLHANDLE *>(handle.constData());
    if (statement)
        SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)),
                       SQL_IS_UINTEGER);
}

constexpr int kSqliteBusyTimeoutMs = DispatchDb::kSqliteBusyTimeoutMs;

// What stops a statement that blocks the user-interface thread, called from the abort token's thread: SQLCancel
// on the ODBC statement handle, sqlite3_interrupt on the SQLite connection (looked up in the SQLite library the
// driver has loaded, so the program needs no SQLite of its own). Both are meant to be called from another thread
// while the statement runs. Empty when the driver offers neither.
std::function<void()> statementCancel(const QSqlQuery &q, const QSqlDatabase &db)
{
    const QVariant statementHandle = q.result() ? q.result()->handle() : QVariant();
    if (statementHandle.isValid() && statementHandle.metaType() == QMetaType::fromType<SQLHANDLE>()) {
        SQLHANDLE statement = *static_cast<const SQLHANDLE *>(statementHandle.constData());
        if (statement)
            return [statement] { SQLCancel(statement); };
    }
    const QVariant connectionHandle = db.driver() ? db.driver()->handle() : QVariant();
    if (connectionHandle.isValid() && qstrcmp(connectionHandle.typeName(), "sqlite3*") == 0) {
        void *connection = *static_cast<void *const *>(connectionHandle.constData());
        static const SqliteInterruptFunction interrupt = LoadedSqliteInterrupt();
        if (connection && interrupt)
            return [connection] { interrupt(connection); };
    }
    return {};
}

} // namespace

DispatchDb::DispatchDb(const Controls &controls, QString programDir, QString connectionName)
    : m_controls(controls)
    , m_programDir(std::move(programDir))
    , m_connectionName(reserveConnectionName(connectionName))
    , m_abortToken(&m_ownToken)
{
}

DispatchDb::~DispatchDb()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    reservedConnectionNames().remove(m_connectionName);
}

const SqlDialect &DispatchDb::dialect() const
{
    return isOpen() ? *m_openDialect : SqlDialect::forDriver(m_controls.text(Control::xLoginDriver));
}

bool DispatchDb::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

void DispatchDb::close()
{
    m_inTransaction = false;
    // Closing the connection ends its session and with it a server's claim.
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::database(m_connectionName, false).close();
    m_claimFile.reset();
}

void DispatchDb::setClaim(const QString &holder, bool probeOnly)
{
    m_claimHolder = holder;
    m_claimProbeOnly = probeOnly;
}

QString DispatchDb::installationName(const QString &programDir)
{
    return QSysInfo::machineHostName() + QLatin1Char(':') +
           QDir::toNativeSeparators(QDir::cleanPath(QDir(programDir).absolutePath()));
}

namespace
{

// The key of an owner code's claim: the same number in every installation and every run.
int claimKey(const QString &owner)
{
    quint32 hash = 2166136261u;
    for (const char c : owner.toUtf8()) {
        hash ^= quint8(c);
        hash *= 16777619u;
    }
    return int(hash & 0x7fffffffu);
}

// A boolean as the drivers return it: 1, true or t.
bool isTrue(const QVariant &value)
{
    const QString text = value.toString().trimmed();
    return text == QLatin1String("1") || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           text.compare(QLatin1String("t"), Qt::CaseInsensitive) == 0;
}

QString nativePath(const QString &path);

} // namespace

void DispatchDb::takeClaim()
{
    const QString owner = m_controls.text(Control::Eigenaar).trimmed();
    const int key = claimKey(owner);
    if (m_openDialect->embedded()) {
        auto lock = std::make_unique<HolderLock>(m_openSqlitePath + QStringLiteral(".eigenaar-%1.lock").arg(key));
        const bool free = m_claimProbeOnly ? lock->probe() : lock->tryLock(m_claimHolder);
        if (free) {
            if (!m_claimProbeOnly)
                m_claimFile = std::move(lock);
            return;
        }
        if (!lock->errorString().isEmpty()) {
            close();
            throw DatabaseError(QStringLiteral("Kan het lockbestand %1 niet openen: %2")
                                    .arg(nativePath(lock->filePath()), lock->errorString()));
        }
        refuseClaim(owner, lock->holder());
    }
    const QString take = m_openDialect->takeClaim(key);
    if (take.isEmpty())
        return;
    const QString name = m_openDialect->nameSession();
    if (!name.isEmpty())
        exec(name, {m_claimHolder}).finish();
    QSqlQuery q = exec(take);
    const bool taken = q.next() && isTrue(q.value(0));
    q.finish();
    if (taken) {
        if (m_claimProbeOnly)
            close();
        return;
    }
    QString holder;
    try {
        QSqlQuery h = exec(m_openDialect->claimHolder(key));
        if (h.next()) {
            for (int i = 0; holder.isEmpty() && i < h.record().count(); ++i)
                holder = h.value(i).toString().remove(QChar(0)).trimmed();
        }
        h.finish();
    } catch (const DatabaseError &) {
        // A login that may not see other sessions learns no holder; the line then names none.
    }
    refuseClaim(owner, holder);
}

void DispatchDb::refuseClaim(const QString &owner, const QString &holder)
{
    close();
    throw DatabaseClaimed(QStringLiteral("De database is voor eigenaar %1 in gebruik bij een andere installatie (%2); "
                                         "deze installatie haalt niets op en verstuurt niets tot die de database "
                                         "vrijgeeft.")
                              .arg(owner, holder.isEmpty() ? QStringLiteral("welke is onbekend") : holder),
                          holder);
}

void DispatchDb::open()
{
    if (isOpen())
        return;
    const SqlDialect &d = dialect();
    if (d.embedded())
        openSqlite();
    else
        openOdbc();
    m_openDialect = &d;
    const QString identity = connectionIdentity();
    if (identity != m_columnsOf) {
        m_columns.clear();
        m_columnsOf = identity;
    }
    if (!m_claimHolder.isEmpty())
        takeClaim();
}

QString DispatchDb::connectionIdentity() const
{
    if (m_openDialect->embedded())
        return m_openSqlitePath;
    return QStringList{m_controls.text(Control::xLoginDriver), m_controls.text(Control::xLoginServer),
                       m_controls.text(Control::xLoginDatabase), m_controls.text(Control::xLoginSQL)}
        .join(QLatin1Char('\n'));
}

bool DispatchDb::hasColumn(const QString &table, const QString &column)
{
    // The connection is opened first, so a database that cannot be reached is an error, not a missing column.
    connection();
    const QString key = table.toLower() + QLatin1Char('.') + column.toLower();
    const auto known = m_columns.constFind(key);
    if (known != m_columns.constEnd())
        return *known;
    bool present = true;
    try {
        exec(m_openDialect->columnProbe(table, column)).finish();
    } catch (const DatabaseError &) {
        if (!isOpen())
            throw;
        present = false;
    }
    m_columns.insert(key, present);
    return present;
}

QSqlDatabase DispatchDb::connection()
{
    // An embedded database file deleted under the open connection would still answer reads from what is left of
    // it and refuse every write; the opening that follows reports it instead.
    if (sqliteFileGone())
        close();
    open();
    return QSqlDatabase::database(m_connectionName, false);
}

QSqlDatabase DispatchDb::handle(const QString &qtDriver)
{
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.driverName() == qtDriver)
            return db;
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    return QSqlDatabase::addDatabase(qtDriver, m_connectionName);
}

QString DispatchDb::sqlitePath() const
{
    QString name = m_controls.text(Control::xLoginDatabase).trimmed();
    if (name.isEmpty())
        name = kDefaultSqliteFile;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(QDir(m_programDir).absoluteFilePath(name));
}

namespace
{

constexpr int kEncryptionProbeTimeoutMs = 3000;
// The connect and login as a whole, whatever the server sends: the driver's own time-outs only bound silence.
constexpr int kConnectDeadlineMs = 30000;
const QString kNoEncryptionOffered = QStringLiteral(
    "De databaseserver %1 biedt geen versleutelde verbinding aan; er is niet ingelogd, de inlognaam en het paswoord "
    "zijn niet verzonden. Alleen voor een oude server op een vertrouwd netwerk: zet \"Onversleutelde "
    "databaseverbinding toestaan\" aan op de pagina \"Instellingen\".");

// Runs the schema script on an open connection in one transaction. Throws DatabaseError.
void runSchema(QSqlDatabase &db)
{
    db.transaction();
    for (const QString &statement : splitSqlScript(QString::fromUtf8(kSqliteSchema))) {
        QSqlQuery q(db);
        if (!q.exec(statement)) {
            const QString message = messageOf(q.lastError());
            q.finish();
            db.rollback();
            throw DatabaseError(message);
        }
    }
    if (!db.commit()) {
        const QString message = messageOf(db.lastError());
        db.rollback();
        throw DatabaseError(message);
    }
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// An embedded database made by an earlier version lacks the columns added since: they are added when it is
// opened. Should that fail, the import works without them.
void addMissingColumns(QSqlDatabase &db)
{
    {
        QSqlQuery probe(db);
        const bool present = probe.exec(
            SqlDialect::of(DbDialect::SQLite).columnProbe(QStringLiteral("Planning"), QLatin1String(kCancelledColumn)));
        probe.finish();
        if (present)
            return;
    }
    QSqlQuery alter(db);
    alter.exec(QStringLiteral("ALTER TABLE Planning ADD COLUMN %1 INTEGER").arg(QLatin1String(kCancelledColumn)));
    alter.finish();
}

// The program's own table beside the dispatch's (see SqlDialect::eventClaimsTable). Should making it fail, the
// return cycle reports it when it first needs it.
void addProgramTables(QSqlDatabase &db)
{
    QSqlQuery create(db);
    create.exec(SqlDialect::of(DbDialect::SQLite).eventClaimsTable());
    create.finish();
}

} // namespace

void DispatchDb::createSqliteFile(const QString &path)
{
    // The tables are made in a file of their own, which takes the database's name only when it is complete: a
    // database file without tables never appears, whenever the program is stopped.
    const QString fresh = path + QStringLiteral(".nieuw");
    QFile::remove(fresh);
    QFile::remove(fresh + QStringLiteral("-journal"));
    const QString name = m_connectionName + QStringLiteral("#nieuw");
    QString message;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(fresh);
        if (!db.open()) {
            message = messageOf(db.lastError());
        } else {
            try {
                runSchema(db);
            } catch (const DatabaseError &e) {
                message = e.message();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (message.isEmpty() && !QFile::rename(fresh, path))
        message = QStringLiteral("Kan databasebestand %1 niet aanmaken.").arg(nativePath(path));
    if (!message.isEmpty()) {
        QFile::remove(fresh);
        throw DatabaseError(message);
    }
    if (m_log)
        m_log(QStringLiteral("Databasebestand %1 bestond niet en is nieuw aangemaakt.").arg(nativePath(path)));
}

void DispatchDb::openSqlite()
{
    const QString path = sqlitePath();
    const bool seen = m_seenSqliteFiles.contains(path);
    if (!QFileInfo::exists(path)) {
        if (seen)
            throw DatabaseError(
                QStringLiteral(
                    "Databasebestand %1 is verdwenen; er wordt geen lege database voor in de plaats gemaakt.")
                    .arg(nativePath(path)));
        QDir().mkpath(QFileInfo(path).absolutePath());
        createSqliteFile(path);
    }

    QSqlDatabase db = handle(QStringLiteral("QSQLITE"));
    // Opened for reading and writing without creating: a file that disappears between the check above and this
    // opening is an error, not a new empty database. The dispatch product's own tools may hold a lock for a
    // moment.
    db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=rw"));
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_URI").arg(kSqliteBusyTimeoutMs));
    if (!db.open())
        throw DatabaseError(messageOf(db.lastError()));

    // A file without any table (made empty by hand) gets the tables, unless it held them earlier in this run.
    QSqlQuery count(db);
    if (!count.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !count.next()) {
        const QString message = messageOf(count.lastError());
        count.finish();
        db.close();
        throw DatabaseError(message);
    }
    const bool empty = count.value(0).toInt() == 0;
    count.finish();
    if (empty && seen) {
        db.close();
        throw DatabaseError(
            QStringLiteral("Databasebestand %1 is leeggemaakt; er worden geen nieuwe lege tabellen in gemaakt.")
                .arg(nativePath(path)));
    }
    if (empty) {
        try {
            runSchema(db);
        } catch (const DatabaseError &) {
            db.close();
            throw;
        }
        if (m_log)
            m_log(QStringLiteral("Databasebestand %1 was leeg en heeft de tabellen gekregen.").arg(nativePath(path)));
    }
    addMissingColumns(db);
    addProgramTables(db);
    m_seenSqliteFiles.insert(path);
    m_openSqlitePath = path;
}

void DispatchDb::openOdbc()
{
    DbLogin login;
    login.driver = m_controls.text(Control::xLoginDriver);
    login.server = m_controls.text(Control::xLoginServer);
    login.database = m_controls.text(Control::xLoginDatabase);
    login.user = m_controls.text(Control::xLoginSQL);
    login.password = m_controls.text(Control::xPaswoordSQL);
    login.trustServerCertificate = m_controls.checked(Control::xSqlCertNegeren);
    login.allowUnencrypted = m_controls.checked(Control::xSqlOnversleuteld);
    const QString connectionString = OdbcConnectionString(login);

    QSqlDatabase db = handle(QStringLiteral("QODBC"));
    db.setDatabaseName(connectionString);
    db.setUserName(QString());
    db.setPassword(QString());
    db.setConnectOptions(OdbcConnectOptions());
    QString host;
    quint16 port = 0;
    if (!TdsHostAndPort(login.server, &host, &port))
        port = 0; // a named instance: its port is the server's to tell
    bool opened = false;
    bool cut = false;
    {
        const SocketDeadline deadline(kConnectDeadlineMs, port, *m_abortToken);
        opened = db.open();
        cut = deadline.expired();
    }
    if (!opened && cut) {
        db.close();
        throw DatabaseError(m_abortToken->tripped()
                                ? AbortToken::abortedText()
                                : QStringLiteral("De databaseserver %1 heeft de verbinding niet binnen %2 seconden "
                                                 "tot stand gebracht; de verbinding is afgebroken.")
                                      .arg(login.server.trimmed())
                                      .arg(kConnectDeadlineMs / 1000));
    }
    if (!opened) {
        const QString message = messageOf(db.lastError());
        // The drivers say no more than that the connection failed; the server's own answer tells why.
        if (encryptionRequired(login) && TdsHostAndPort(login.server, &host, &port) &&
            ProbeTdsEncryption(host, port, kEncryptionProbeTimeoutMs) == TdsEncryption::NotOffered)
            throw DatabaseError(kNoEncryptionOffered.arg(login.server.trimmed()));
        throw DatabaseError(message);
    }
}

QSqlQuery DispatchDb::exec(const QString &sql, const QVariantList &params)
{
    // A program that is closing starts no statement, and one that runs is cancelled: it fails like any failed
    // statement, so the operation ends with its log line and stores nothing more.
    // Completing what the service has already answered, a stop neither refuses nor cancels the statement; over
    // ODBC the grace of a stop bounds it instead.
    const bool completing = m_completing > 0;
    if (m_abortToken->tripped() && !completing)
        throw DatabaseError(AbortToken::abortedText());
    const int timeout = completing && m_abortToken->tripped()
                            ? std::min(m_statementTimeout, (AbortToken::kStopGraceMs + 999) / 1000)
                            : m_statementTimeout;
    const auto cancel = [&](const QSqlQuery &q, const QSqlDatabase &db) {
        return completing ? std::function<void()>() : statementCancel(q, db);
    };
    QSqlDatabase db = connection();
    QString message;
    QSqlError error;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        bool ok = false;
        if (params.isEmpty() && m_openDialect->embedded()) {
            AbortToken::Watch watch(*m_abortToken, cancel(q, db));
            ok = q.exec(sql);
        } else if (q.prepare(sql)) {
            if (!m_openDialect->embedded())
                setOdbcQueryTimeout(q, timeout);
            for (const QVariant &p : params)
                q.addBindValue(p.metaType().id() == QMetaType::QDateTime ? dateTimeParam(p.toDateTime()) : p);
            AbortToken::Watch watch(*m_abortToken, cancel(q, db));
            ok = q.exec();
        }
        if (ok)
            return q;
        error = q.lastError();
        if (m_abortToken->tripped() && !completing)
            message = AbortToken::abortedText();
        else if (m_openDialect->cancelled(error) && !m_openDialect->embedded())
            // The statement time-out ran out: most often a row that another program holds locked.
            message =
                QStringLiteral("Geen antwoord van de database binnen %1 s: %2").arg(timeout).arg(messageOf(error));
        else
            message = messageOf(error);
    }
    if (!m_abortToken->tripped() || completing)
        dropConnectionIfLost(error);
    throw DatabaseError(message);
}

bool DispatchDb::beginTransaction(int lockWaitMs)
{
    // While completing, a transaction records what the service already answered (see Completion).
    if (m_abortToken->tripped() && m_completing == 0)
        throw DatabaseError(AbortToken::abortedText());
    QSqlDatabase db = connection();
    const QString begin = m_openDialect->beginTransaction();
    if (begin.isEmpty()) {
        if (!db.transaction())
            throw DatabaseError(messageOf(db.lastError()));
        m_inTransaction = true;
        return true;
    }
    // The wait for another program's lock is short for this one statement only.
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(lockWaitMs));
    const bool begun = q.exec(begin);
    const QSqlError error = q.lastError();
    q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(kSqliteBusyTimeoutMs));
    q.finish();
    if (begun) {
        m_inTransaction = true;
        return true;
    }
    if (m_openDialect->lockBusy(error))
        return false;
    dropConnectionIfLost(error);
    throw DatabaseError(messageOf(error));
}

void DispatchDb::commitTransaction()
{
    if (!inTransaction()) {
        m_inTransaction = false;
        return;
    }
    m_inTransaction = false;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlError error;
    bool ok = false;
    const QString commit = m_openDialect->commitTransaction();
    if (!commit.isEmpty()) {
        QSqlQuery q(db);
        ok = q.exec(commit);
        error = q.lastError();
    } else {
        ok = db.commit();
        error = db.lastError();
    }
    if (ok)
        return;
    m_inTransaction = true;
    rollbackTransaction();
    dropConnectionIfLost(error);
    throw DatabaseError(messageOf(error));
}

void DispatchDb::rollbackTransaction() noexcept
{
    if (!inTransaction()) {
        m_inTransaction = false;
        return;
    }
    m_inTransaction = false;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    const QString rollback = m_openDialect->rollbackTransaction();
    if (!rollback.isEmpty()) {
        QSqlQuery q(db);
        q.exec(rollback);
    } else {
        db.rollback();
    }
}

DispatchDb::Transaction::Transaction(DispatchDb &db, int lockWaitMs, Busy busy)
    : m_db(db)
{
    m_begun = m_db.beginTransaction(lockWaitMs);
    if (!m_begun && busy == Busy::Throw)
        throw DatabaseError(
            QStringLiteral("De database is bezet door een ander programma; na %1 ms wachten is er niets opgeslagen.")
                .arg(lockWaitMs));
}

DispatchDb::Transaction::~Transaction()
{
    if (m_begun)
        m_db.rollbackTransaction();
}

void DispatchDb::Transaction::commit()
{
    if (!m_begun)
        return;
    m_begun = false;
    m_db.commitTransaction();
}

bool DispatchDb::sqliteFileGone() const
{
    return m_openDialect->embedded() && isOpen() && !QFileInfo::exists(m_openSqlitePath);
}

// A server that went away leaves Qt's connection looking open; every later statement would fail the same way.
// After a failed statement, the error itself or else a probe tells whether the connection still works; if not, it
// is closed so that the next use opens it afresh. The embedded database answers a probe without touching its
// file, so there the statement's own result code, or the file being gone, decides.
void DispatchDb::dropConnectionIfLost(const QSqlError &error)
{
    if (!isOpen())
        return;
    bool lost = m_openDialect->connectionLost(error) || sqliteFileGone();
    if (!lost && m_openDialect->probeAfterFailure()) {
        QSqlQuery probe(QSqlDatabase::database(m_connectionName, false));
        probe.setForwardOnly(true);
        lost = !probe.exec(m_openDialect->connectionProbe());
        probe.finish();
    }
    if (lost) {
        close();
        // A database that comes back may be another one (restored from a backup): its columns are asked again.
        m_columns.clear();
        m_columnsOf.clear();
    }
}

int DispatchDb::readCompanyConstant()
{
    const qint32 company = LeadingInt(m_controls.text(Control::xBedrijf));
    const SqlDialect &sql = dialect();
    QSqlQuery q = exec(sql.companyConstant(), {QVariant(company)});
    int value = 0;
    if (q.next()) {
        const int column = q.record().indexOf(SqlDialect::companyConstantColumn());
        if (column < 0)
            throw DatabaseError(
                QStringLiteral("Kolom %1 ontbreekt in tabel constanten").arg(SqlDialect::companyConstantColumn()));
        const QVariant v = q.value(column);
        value = v.isNull() ? 0 : v.toInt();
    }
    q.finish();
    return value;
}

QVariant DispatchDb::dateTimeParam(const QDateTime &value) const
{
    return dialect().dateTimeParam(value);
}

QDateTime DispatchDb::toDateTime(const QVariant &value, const QString &column)
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        // QODBC builds a local QDateTime from the stored fields; inside the skipped hour that value is invalid
        // but still holds them.
        return ToWallDateTime(value.toDateTime());
    case QMetaType::QDate:
        return WallDateTime(value.toDate(), QTime(0, 0));
    default:
        break;
    }
    const QString text = value.toString().trimmed();
    if (text.isEmpty())
        return {};
    const QDateTime dt = ParseWallDateTime(text);
    if (dt.isValid())
        return dt;
    QString message = QStringLiteral("'%1' is not a valid date and time").arg(text);
    if (!column.isEmpty())
        message += QStringLiteral(" for field '%1'").arg(column);
    throw ConversionError(message);
}
