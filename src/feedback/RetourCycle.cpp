#include "feedback/RetourCycle.h"

#include "base/AbortToken.h"
#include "base/OperationContext.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "feedback/SendStatus.h"
#include "link/SoapTransport.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <algorithm>
#include <functional>
#include <optional>

namespace
{

const QString kRideGoneLine = QStringLiteral("Retourmelding %1 wacht: rit %2 bestaat niet (meer); de melding blijft "
                                             "staan (status 0) en wordt niet verzonden.");
const QString kNoVehicleLine = QStringLiteral("Retourmelding %1 wacht: rit %2 heeft nog geen wagen; de melding gaat "
                                              "zodra de rit een wagen heeft.");
const QString kWaitsNoLongerLine = QStringLiteral("Retourmelding %1 wacht niet meer.");

const QString kEventKey = QStringLiteral("kop_id");

// How long the embedded database's lock is waited for before the event waits for the next tick.
constexpr int kRowLockWaitMs = 1000;
// How long an embedded database's claim holds: longer than any call with its stop grace.
constexpr qint64 kClaimSeconds = (kCallLimitMs + AbortToken::kStopGraceMs) / 1000 + 60;

// This run of the program. A claim of another run is a claim a crash or a kill left behind: only one program works
// on a database's events of one owner code (the database's holder lock), so the event goes out again at once (at
// least once, as on the servers), instead of waiting for the claim to run out.
const QString &thisRun()
{
    static const QString run = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return run;
}

// The way of one event: taken, sent, then its answer's row and mark written. No lock of the whole database is
// held across the call.
// - PostgreSQL and SQL Server: one transaction takes the event's row before the call (passing a row another
//   program holds) and writes the answer's row and mark after it; the row alone stays locked for the call.
// - The embedded database has only the whole database's lock: a short transaction claims the event in the
//   program's own table, the call runs outside any transaction, and a second short transaction writes the
//   answer's row and mark and clears the claim. A claim of an earlier run (a kill) does not hold the event.
// Either way an event that is held, or has left the queue meanwhile, is not sent only to fail its mark and go out
// again at the next tick. Unless recorded, the server's transaction is rolled back and its row let go.
class EventWay
{
  public:
    enum class Take { Taken, RowBusy, DatabaseBusy };

    EventWay(DispatchDb &db, qint64 id, qint64 now)
        : m_db(db)
        , m_id(id)
        , m_claims(!db.dialect().claimEvent().isEmpty())
    {
        if (!m_claims) {
            m_transaction.emplace(db, kRowLockWaitMs, DispatchDb::Transaction::Busy::Report);
            m_take = !m_transaction->begun() ? Take::DatabaseBusy : takeRow() ? Take::Taken : Take::RowBusy;
            return;
        }
        DispatchDb::Transaction claim(db, kRowLockWaitMs, DispatchDb::Transaction::Busy::Report);
        if (!claim.begun()) {
            m_take = Take::DatabaseBusy;
            return;
        }
        if (!takeRow() || exists(db.dialect().eventClaimed(), {id, now, thisRun()})) {
            m_take = Take::RowBusy;
            return;
        }
        db.exec(db.dialect().claimEvent(), {id, now + kClaimSeconds, thisRun()}).finish();
        claim.commit();
        m_take = Take::Taken;
    }

    ~EventWay()
    {
        // An event taken but not recorded (the call failed, or the answer could not be written) is free again at
        // once: it goes out again at the next tick, as a server's rolled back transaction lets it.
        if (!m_claims || m_take != Take::Taken || m_recorded)
            return;
        try {
            DispatchDb::Transaction release(m_db, kRowLockWaitMs, DispatchDb::Transaction::Busy::Report);
            if (release.begun()) {
                m_db.exec(m_db.dialect().releaseEventClaim(), {m_id}).finish();
                release.commit();
            }
        } catch (const VoranoError &) {
            // The claim holds until it runs out.
        }
    }
    EventWay(const EventWay &) = delete;
    EventWay &operator=(const EventWay &) = delete;

    Take take() const { return m_take; }

    // Writes what the service answered: `record` (the answer's rows), the event's mark and, on the embedded
    // database, the end of its claim, all in one transaction.
    void recordAnswer(bool accepted, const std::function<void()> &record)
    {
        std::optional<DispatchDb::Transaction> own;
        if (m_claims)
            own.emplace(m_db);
        record();
        m_db.exec(m_db.dialect().markEvent(accepted) + QString::number(m_id)).finish();
        if (m_claims) {
            m_db.exec(m_db.dialect().releaseEventClaim(), {m_id}).finish();
            own->commit();
        } else {
            m_transaction->commit();
        }
        m_recorded = true;
    }

  private:
    bool takeRow() { return exists(m_db.dialect().takeEventRow(), {m_id}); }

    bool exists(const QString &sql, const QVariantList &params)
    {
        QSqlQuery q = m_db.exec(sql, params);
        const bool found = q.next();
        q.finish();
        return found;
    }

    DispatchDb &m_db;
    qint64 m_id;
    bool m_claims;
    std::optional<DispatchDb::Transaction> m_transaction;
    Take m_take = Take::RowBusy;
    bool m_recorded = false;
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
    // How many events wait is counted at the end of every tick, also one that an error ended.
    try {
        watchWaitingEvents(ctx, owner, counts);
        sendPendingEvents(ctx, owner, counts);
    } catch (const VoranoError &) {
        countPendingEvents(ctx, owner, counts);
        throw;
    }
    countPendingEvents(ctx, owner, counts);
    return true;
}

void RetourCycle::countPendingEvents(OperationContext &ctx, const QString &owner, CycleOutcome &counts)
{
    try {
        QSqlQuery q = ctx.db.exec(ctx.db.dialect().pendingEventCount(), {owner});
        counts.eventsPending = q.next() ? q.value(0).toInt() : -1;
        q.finish();
    } catch (const VoranoError &) {
        counts.eventsPending = -1; // not known: the error that ended the tick is the one said
    }
}

void RetourCycle::sendPendingEvents(OperationContext &ctx, const QString &owner, CycleOutcome &counts)
{
    // A backlog goes out in batches: memory stays small however long the outbox is, and a retrieval that falls due
    // meanwhile runs between two batches instead of after the whole backlog. Each row is converted just before it
    // is sent: a value that cannot be read ends the tick at that row, and the rows before it have gone out.
    QSet<qint64> handled;
    int leftPending = 0;
    bool databaseBusy = false;
    while (!databaseBusy) {
        const QList<QSqlRecord> records = readPendingBatch(ctx.db, owner, handled, m_batchSize, leftPending);
        for (const QSqlRecord &record : records) {
            // First of all: a row that stays pending in this tick is not read again by a later batch.
            handled.insert(record.value(kEventKey).toLongLong());
            ctx.pump.processEvents();
            const EventRow row = EventRow::fromRecord(record);
            const qint64 id = row.kop_id;
            EventWay way(ctx.db, id, ctx.clock.now().toSecsSinceEpoch());
            // A busy row waits, unsent, for the next tick; a busy embedded database holds every row.
            if (way.take() == EventWay::Take::DatabaseBusy) {
                databaseBusy = true;
                break;
            }
            if (way.take() == EventWay::Take::RowBusy) {
                ++leftPending;
                continue;
            }
            // Once the event is on its way, a stop of the program lets its answer be recorded.
            DispatchDb::Completion completing(ctx.db);
            StatusAnswer answer = SendStatus(ctx, row);
            way.recordAnswer(answer.accepted(), [&] { RecordStatusAnswer(ctx, row, answer); });
            ++(answer.accepted() ? counts.eventsAccepted : counts.eventsRefused);
            CopyStatusAnswer(ctx, row, answer);
        }
        if (databaseBusy || records.size() < m_batchSize)
            break;
        if (ctx.runWaiting)
            ctx.runWaiting();
    }
}

// Events that the return-message query cannot yield (their ride is gone, or it has no vehicle that exists) stay
// pending, unsent: only an answer of the service marks an event, and a vehicle assigned late lets it go out at
// the next tick. Each is said once when it starts waiting (a warning) and once when it no longer waits (sent, or
// handled by the dispatch). A ride found gone at one tick only is not yet said: it may be written just after its
// event, by another connection.
void RetourCycle::watchWaitingEvents(OperationContext &ctx, const QString &owner, CycleOutcome &counts)
{
    QSqlQuery query = ctx.db.exec(ctx.db.dialect().strandedEvents(), {owner});
    QList<qint64> order; // as the query gives them: oldest first
    QHash<qint64, Waiting> waiting;
    int total = 0;
    while (query.next()) {
        ++total;
        if (waiting.size() >= kMostWatched)
            continue;
        const qint64 id = query.value(0).toLongLong();
        const Waiting before = m_waiting.value(id);
        order << id;
        waiting.insert(id, {query.value(1).toLongLong(), query.value(2).isNull(), before.ticks + 1, before.said});
    }
    query.finish();
    counts.eventsWaiting = total;

    for (const qint64 id : std::as_const(order)) {
        Waiting &event = waiting[id];
        if (event.said || (event.rideGone && event.ticks < kTicksWithRideGone))
            continue;
        ctx.logAt(LogLevel::Warning, (event.rideGone ? kRideGoneLine : kNoVehicleLine).arg(id).arg(event.ride));
        event.said = true;
    }
    // Beyond the events looked at, nothing is known of the ones said before: they stay in mind.
    const bool complete = total == waiting.size();
    QList<qint64> gone;
    for (auto it = m_waiting.cbegin(); it != m_waiting.cend(); ++it) {
        if (waiting.contains(it.key()))
            continue;
        if (!complete)
            waiting.insert(it.key(), it.value());
        else if (it.value().said)
            gone << it.key();
    }
    std::sort(gone.begin(), gone.end());
    for (const qint64 id : std::as_const(gone))
        ctx.logAt(LogLevel::Information, kWaitsNoLongerLine.arg(id));
    m_waiting = waiting;
}
