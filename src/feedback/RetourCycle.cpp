#include "feedback/RetourCycle.h"

#include "base/OperationContext.h"
#include "db/DispatchDb.h"
#include "feedback/SendStatus.h"

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

// The pending events of one owner code, oldest first, all read before the first is sent (the status updates go
// over the same connection). The owner code is a bound parameter.
QList<QSqlRecord> readPendingRecords(DispatchDb &db, const QString &owner)
{
    QSqlQuery query = db.exec(kReturnMessageQuery, {owner});
    QList<QSqlRecord> records;
    while (query.next())
        records.append(query.record());
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

    // Each row is converted just before it is sent: a value that cannot be read ends the tick at that row, and
    // the rows before it have gone out.
    const QList<QSqlRecord> records = readPendingRecords(ctx.db, ctx.controls.text(Control::Eigenaar));
    counts.eventsPending = int(records.size());
    for (const QSqlRecord &record : records) {
        ctx.pump.processEvents();
        const EventRow row = EventRow::fromRecord(record);
        const qint64 id = row.kop_id;
        EventTransaction transaction(ctx.db);
        const EventTransaction::Take take = transaction.take(id);
        // A busy row waits, unsent, for the next tick; a busy embedded database holds every row.
        if (take == EventTransaction::Take::DatabaseBusy)
            break;
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
    return true;
}
