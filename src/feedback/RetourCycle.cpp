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

const QString kRideGoneLine =
    QStringLiteral("Retourmelding %1 uit de wachtrij gehaald (status 3, niet verzonden): rit %2 bestaat niet meer.");
const QString kNoVehicleLine = QStringLiteral("Retourmelding %1 uit de wachtrij gehaald (status 3, niet verzonden): "
                                              "rit %2 had na %3 pogingen nog geen wagen.");

const QString kEventKey = QStringLiteral("kop_id");

// How long the embedded database's lock is waited for before the event waits for the next tick.
constexpr int kRowLockWaitMs = 1000;

// The transaction of one event. An event's row is taken before the event is sent, in the transaction that then
// writes its transaction row and its mark, so that an event the dispatch holds (or that has left the queue
// meanwhile) is not sent only to fail its mark and go out again at the next tick. PostgreSQL and SQL Server pass a
// row another program has locked; the embedded database has only one lock, the whole database's, so there the
// transaction takes that (briefly waiting for another program's) and holds it for the one call. Rolled back (and
// the row let go) unless committed.
class EventTransaction
{
  public:
    enum class Take { Taken, RowBusy, DatabaseBusy };

    EventTransaction(DispatchDb &db, qint64 id)
        : m_transaction(db, kRowLockWaitMs, DispatchDb::Transaction::Busy::Report)
    {
        if (!m_transaction.begun()) {
            m_take = Take::DatabaseBusy;
            return;
        }
        QSqlQuery q = db.exec(db.dialect().takeEventRow(), {id});
        m_take = q.next() ? Take::Taken : Take::RowBusy;
        q.finish();
    }

    Take take() const { return m_take; }
    void commit() { m_transaction.commit(); }

  private:
    DispatchDb::Transaction m_transaction;
    Take m_take = Take::RowBusy;
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
QList<QSqlRecord> readPendingBatch(DispatchDb &db, const QString &owner, const QSet<qint64> &handled, int limit,
                                   int leftPending)
{
    // The rows of this tick that are still pending (held by another program) come again; the read reaches past
    // them to `limit` new ones, and no further: the drivers hold the whole result in memory.
    QSqlQuery query = db.exec(db.dialect().outboxBatch(limit + leftPending), {owner});
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
    int leftPending = 0;
    bool databaseBusy = false;
    while (!databaseBusy) {
        const QList<QSqlRecord> records = readPendingBatch(ctx.db, owner, handled, m_batchSize, leftPending);
        counts.eventsPending += int(records.size());
        for (const QSqlRecord &record : records) {
            // First of all: a row that stays pending in this tick is not read again by a later batch.
            handled.insert(record.value(kEventKey).toLongLong());
            ctx.pump.processEvents();
            const EventRow row = EventRow::fromRecord(record);
            const qint64 id = row.kop_id;
            EventTransaction transaction(ctx.db, id);
            const EventTransaction::Take take = transaction.take();
            // A busy row waits, unsent, for the next tick; a busy embedded database holds every row.
            if (take == EventTransaction::Take::DatabaseBusy) {
                databaseBusy = true;
                break;
            }
            if (take == EventTransaction::Take::RowBusy) {
                ++leftPending;
                continue;
            }
            // Once the event is on its way, a stop of the program lets its answer be recorded.
            DispatchDb::Completion completing(ctx.db);
            const bool accepted = SendStatus(ctx, row);
            ctx.db.exec(ctx.db.dialect().markEvent(accepted) + QString::number(id)).finish();
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
    QSqlQuery query = ctx.db.exec(ctx.db.dialect().strandedEvents(), {owner});
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
        QSqlQuery retire = ctx.db.exec(ctx.db.dialect().retireEvent(), {event.id});
        const bool retired = retire.numRowsAffected() > 0;
        retire.finish();
        // A row the dispatch holds is tried again at the next tick; one handled meanwhile is gone from the list.
        if (!retired) {
            seen.insert(event.id, ticks);
            continue;
        }
        ctx.logError(event.rideGone ? kRideGoneLine.arg(event.id).arg(event.ride)
                                    : kNoVehicleLine.arg(event.id).arg(event.ride).arg(ticks));
    }
    // Events that went out or were handled otherwise meanwhile are forgotten.
    m_strandedTicks = seen;
}
