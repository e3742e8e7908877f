#include "feedback/RetourCycle.h"

#include "base/OperationContext.h"
#include "db/DispatchDb.h"
#include "feedback/SendStatus.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

namespace
{

// The owner code takes the place of the quoted text literal, as a bound parameter.
const QString kReturnMessageQuery = QStringLiteral(
    "select kop_status, kop_id, kop_type, pla_extern, pla_status, pla_id, pla_van, pla_naar, pla_tijdstip_bestemmen, "
    "pla_tijdstip_vrijmelden, pla_lopers, pla_rollers, pla_redenloosmelden,  pla_odo_start, pla_odo_stop, pla_route, "
    "wag_kenteken, wag_taxis, kop_datumtijd, kop_latitude, kop_longitude, pla_tijdstip_toewijzen, pla_eta, "
    "pla_eta_klok, pla_etd, pla_etd_klok from koppelingen inner join planning on pla_id=kop_pla_id inner join wagens "
    "on wag_id=pla_wagen where kop_status=0 and kop_eigenaar=? order by kop_eigenaar, kop_status, kop_datumtijd");

// The pending events of one owner code whose ride is gone (pla_id NULL) or has no vehicle in wagens: the ones the
// return-message query never yields.
const QString kStrandedEventsQuery = QStringLiteral(
    "select kop_id, kop_pla_id, pla_id from koppelingen left join planning on pla_id=kop_pla_id left join wagens "
    "on wag_id=pla_wagen where kop_status=0 and kop_eigenaar=? and wag_id is null order by kop_datumtijd, kop_id");
const QString kRetireUpdate = QStringLiteral("update koppelingen set kop_status=3 where kop_id=? and kop_status=0");
const QString kRideGoneLine =
    QStringLiteral("Retourmelding %1 uit de wachtrij gehaald (status 3, niet verzonden): rit %2 bestaat niet meer.");
const QString kNoVehicleLine = QStringLiteral("Retourmelding %1 uit de wachtrij gehaald (status 3, niet verzonden): "
                                              "rit %2 had na %3 pogingen nog geen wagen.");

const QString kEventKey = QStringLiteral("kop_id");
const QString kAcceptedUpdate = QStringLiteral("update koppelingen set kop_status=1 where kop_id=");
const QString kRefusedUpdate = QStringLiteral("update koppelingen set kop_status=3 where kop_id=");

// An event's row is taken before the event is sent, in the transaction that then writes its transaction row and
// its mark, so that an event the dispatch holds (or that has left the queue meanwhile) is not sent only to fail its
// mark and go out again at the next tick. PostgreSQL and SQL Server skip a row another program has locked; the
// embedded database has only one lock, the whole database's, so there the transaction takes that (briefly waiting
// for another program's) and holds it for the one call.
const QString kTakeRowSqlite = QStringLiteral("select kop_id from koppelingen where kop_id=? and kop_status=0");
const QString kTakeRowPostgreSql =
    QStringLiteral("select kop_id from koppelingen where kop_id=? and kop_status=0 for update skip locked");
const QString kTakeRowSqlServer = QStringLiteral(
    "select kop_id from koppelingen with (updlock, rowlock, readpast) where kop_id=? and kop_status=0");

// How long the embedded database's lock is waited for before the event waits for the next tick.
constexpr int kRowLockWaitMs = 1000;

const QString &takeRowSql(DbDialect dialect)
{
    switch (dialect) {
    case DbDialect::PostgreSQL:
        return kTakeRowPostgreSql;
    case DbDialect::SqlServer:
        return kTakeRowSqlServer;
    case DbDialect::SQLite:
    case DbDialect::OtherOdbc:
        break;
    }
    return kTakeRowSqlite;
}

// The transaction of one event: rolled back (and the row let go) unless committed.
class EventTransaction
{
  public:
    explicit EventTransaction(DispatchDb &db)
        : m_db(db)
    {
    }
    ~EventTransaction()
    {
        if (m_open)
            m_db.rollbackTransaction();
    }
    EventTransaction(const EventTransaction &) = delete;
    EventTransaction &operator=(const EventTransaction &) = delete;

    enum class Take { Taken, RowBusy, DatabaseBusy };

    Take take(qint64 id)
    {
        if (!m_db.beginTransaction(kRowLockWaitMs))
            return Take::DatabaseBusy;
        m_open = true;
        QSqlQuery q = m_db.exec(takeRowSql(m_db.dialect()), {id});
        const bool taken = q.next();
        q.finish();
        return taken ? Take::Taken : Take::RowBusy;
    }

    void commit()
    {
        m_open = false;
        m_db.commitTransaction();
    }

  private:
    DispatchDb &m_db;
    bool m_open = false;
};

class RunningFlag
{
  public:
    explicit RunningFlag(bool &flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~RunningFlag() { m_flag = false; }
    RunningFlag(const RunningFlag &) = delete;
    RunningFlag &operator=(const RunningFlag &) = delete;

  private:
    bool &m_flag;
};

// The next pending events of one owner code, oldest first: at most `limit` rows not handled in this tick yet. The
// rows are read and the result closed before the first is sent, since the status updates go over the same
// connection. The owner code is a bound parameter.
QList<QSqlRecord> readPendingBatch(DispatchDb &db, const QString &owner, const QSet<qint64> &handled, int limit)
{
    QSqlQuery query = db.exec(kReturnMessageQuery, {owner});
    QList<QSqlRecord> records;
    while (records.size() < limit && query.next()) {
        const QSqlRecord record = query.record();
        if (!handled.contains(record.value(kEventKey).toLongLong()))
            records.append(record);
    }
    query.finish();
    return records;
}

} // namespace

bool RetourCycle::RetourTimerTimer(OperationContext &ctx, CycleOutcome *outcome)
{
    CycleOutcome unused;
    CycleOutcome &counts = outcome ? *outcome : unused;
    if (m_running)
        return false;
    if (!ctx.controls.checked(Control::xBezet))
        return true;
    RunningFlag running(m_running);
    const QString owner = ctx.controls.text(Control::Eigenaar);

    retireStrandedEvents(ctx, owner);

    // A backlog goes out in batches: memory stays small however long the outbox is, and a retrieval that falls due
    // meanwhile runs between two batches instead of after the whole backlog. Each row is converted just before it
    // is sent: a value that cannot be read ends the tick at that row, and the rows before it have gone out.
    QSet<qint64> handled;
    bool databaseBusy = false;
    while (!databaseBusy) {
        const QList<QSqlRecord> records = readPendingBatch(ctx.db, owner, handled, m_batchSize);
        counts.eventsPending += int(records.size());
        for (const QSqlRecord &record : records) {
            // First of all: a row that stays pending in this tick is not read again by a later batch.
            handled.insert(record.value(kEventKey).toLongLong());
            ctx.pump.processEvents();
            const EventRow row = EventRow::fromRecord(record);
            const qint64 id = row.kop_id;
            EventTransaction transaction(ctx.db);
            const EventTransaction::Take take = transaction.take(id);
            // A busy row waits, unsent, for the next tick; a busy embedded database holds every row.
            if (take == EventTransaction::Take::DatabaseBusy) {
                databaseBusy = true;
                break;
            }
            if (take == EventTransaction::Take::RowBusy)
                continue;
            // Once the event is on its way, a stop of the program lets its answer be recorded.
            DispatchDb::Completion completing(ctx.db);
            const bool accepted = SendStatus(ctx, row);
            ctx.db.exec((accepted ? kAcceptedUpdate : kRefusedUpdate) + QString::number(id));
            transaction.commit();
            ++(accepted ? counts.eventsAccepted : counts.eventsRefused);
            --counts.eventsPending;
        }
        if (databaseBusy || records.size() < m_batchSize)
            break;
        if (ctx.runWaiting)
            ctx.runWaiting();
    }
    return true;
}

// Events that the return-message query can never yield (their ride is gone, or it has no vehicle that exists)
// would stay pending for good. They leave the queue marked "not accepted" (3), the status the dispatch product
// already knows for an event that did not go through, with one log line each: an event whose ride is gone once
// it was seen so at two ticks in a row (not the moment a ride and its events are being written), an event whose
// ride has no vehicle after kTicksWithoutVehicle ticks, so that a vehicle assigned late still lets it go out.
void RetourCycle::retireStrandedEvents(OperationContext &ctx, const QString &owner)
{
    QSqlQuery query = ctx.db.exec(kStrandedEventsQuery, {owner});
    struct Stranded {
        qint64 id;
        qint64 ride;
        bool rideGone;
    };
    QList<Stranded> stranded;
    while (stranded.size() < m_batchSize && query.next())
        stranded.append({query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).isNull()});
    query.finish();

    QHash<qint64, int> seen;
    for (const Stranded &event : stranded) {
        const int ticks = m_strandedTicks.value(event.id) + 1;
        const int allowed = event.rideGone ? kTicksWithRideGone : kTicksWithoutVehicle;
        if (ticks < allowed) {
            seen.insert(event.id, ticks);
            continue;
        }
        ctx.db.exec(kRetireUpdate, {event.id}).finish();
        ctx.logError(event.rideGone ? kRideGoneLine.arg(event.id).arg(event.ride)
                                    : kNoVehicleLine.arg(event.id).arg(event.ride).arg(ticks));
    }
    // Events that went out or were handled otherwise meanwhile are forgotten.
    m_strandedTicks = seen;
}
