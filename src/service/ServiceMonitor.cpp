#include "service/ServiceMonitor.h"

#include "base/CheckedFileWrite.h"

namespace
{

const char *metricLabel(CycleKind kind)
{
    switch (kind) {
    case CycleKind::Retrieval:
        return "retrieval";
    case CycleKind::Return:
        return "return";
    case CycleKind::Reference:
        break;
    }
    return "reference";
}

QString clockTime(const QDateTime &at)
{
    return at.toString(QStringLiteral("HH:mm"));
}

} // namespace

QString CycleName(CycleKind kind)
{
    switch (kind) {
    case CycleKind::Retrieval:
        return QStringLiteral("het ophalen van ritten");
    case CycleKind::Return:
        return QStringLiteral("het verzenden van retourmeldingen");
    case CycleKind::Reference:
        break;
    }
    return QStringLiteral("het ophalen van de basistabellen");
}

namespace
{

QString sentenceStart(CycleKind kind)
{
    QString name = CycleName(kind);
    name[0] = name.at(0).toUpper();
    return name;
}

} // namespace

ServiceMonitor::ServiceMonitor(QString statusFile, QString version, const QDateTime &start, LogSink log)
    : m_statusFile(std::move(statusFile))
    , m_version(std::move(version))
    , m_log(std::move(log))
    , m_start(start.toSecsSinceEpoch())
{
}

void ServiceMonitor::cycleStarted(CycleKind kind, const QDateTime &now)
{
    m_running = int(kind);
    m_runningSince = now;
}

void ServiceMonitor::counted(const CycleOutcome &outcome)
{
    m_running = -1;
    m_totals.stored += outcome.stored;
    m_totals.alreadyStored += outcome.alreadyStored;
    m_totals.changed += outcome.changed;
    m_totals.added += outcome.added;
    m_totals.cancelled += outcome.cancelled;
    m_totals.notFound += outcome.notFound;
    m_totals.dropped += outcome.dropped;
    m_totals.heldBack += outcome.heldBack;
    m_totals.confirmed += outcome.confirmed;
    m_totals.refused += outcome.refused;
    m_totals.eventsAccepted += outcome.eventsAccepted;
    m_totals.eventsRefused += outcome.eventsRefused;
    if (outcome.eventsPending >= 0)
        m_pending = outcome.eventsPending;
    if (outcome.eventsWaiting >= 0)
        m_waiting = outcome.eventsWaiting;
}

void ServiceMonitor::cycleEnded(CycleKind kind, const QDateTime &now, bool ok, const CycleOutcome &outcome,
                                const QString &firstError, int failureMinutes)
{
    counted(outcome);
    if (kind == CycleKind::Retrieval)
        m_lastTrips = outcome.stored + outcome.alreadyStored + outcome.changed + outcome.added + outcome.cancelled +
                      outcome.notFound;

    if (m_log && outcome.didSomething()) {
        if (kind == CycleKind::Retrieval) {
            // The kinds that are rare are named only when they occurred.
            QString extra;
            const struct {
                int count;
                const char *text;
            } rare[] = {{outcome.alreadyStored, "al opgeslagen"},
                        {outcome.added, "toegevoegd zonder rit"},
                        {outcome.notFound, "zonder rit om te annuleren"},
                        {outcome.dropped, "niet verwerkt"},
                        {outcome.heldBack, "uitgesteld"}};
            for (const auto &r : rare) {
                if (r.count > 0)
                    extra += QStringLiteral(", %1 %2").arg(r.count).arg(QString::fromUtf8(r.text));
            }
            m_log(LogLevel::Information,
                  QStringLiteral("Ritten opgehaald: %1 opgeslagen, %2 gewijzigd, %3 geannuleerd, %4 bevestigd, "
                                 "%5 geweigerd%6.")
                      .arg(outcome.stored)
                      .arg(outcome.changed)
                      .arg(outcome.cancelled)
                      .arg(outcome.confirmed)
                      .arg(outcome.refused)
                      .arg(extra));
        }
        else if (kind == CycleKind::Return)
            m_log(LogLevel::Information, QStringLiteral("Retourmeldingen verzonden: %1 geaccepteerd, %2 geweigerd.")
                                             .arg(outcome.eventsAccepted)
                                             .arg(outcome.eventsRefused));
    }
    track(kind, now, ok, firstError, failureMinutes);
}

void ServiceMonitor::track(CycleKind kind, const QDateTime &now, bool ok, const QString &firstError,
                           int failureMinutes)
{
    Health &h = health(kind);
    h.lastEnd = now;
    h.lastOk = ok;
    if (ok) {
        h.lastSuccess = now.toSecsSinceEpoch();
        if (h.warned && m_log)
            m_log(LogLevel::Information, QStringLiteral("%1 werkt weer (mislukte sinds %2).")
                                             .arg(sentenceStart(kind), clockTime(h.failingSince)));
        h.failingSince = QDateTime();
        h.failing = 0;
        h.firstError.clear();
        h.warned = false;
        return;
    }
    ++h.failures;
    ++h.failing;
    if (!h.failingSince.isValid()) {
        h.failingSince = now;
        h.firstError = firstError;
    }
    const int minutes = failureMinutes > 0 ? failureMinutes : kDefaultFailureMinutes;
    // Only the cycles that go to the service or the dispatch database each time make a failure state.
    if (kind == CycleKind::Reference || h.warned || h.failingSince.secsTo(now) < qint64(minutes) * 60)
        return;
    h.warned = true;
    if (m_log)
        m_log(LogLevel::Warning,
              QStringLiteral("%1 mislukt al %2 minuten (sinds %3, %4 keer); de eerste fout: %5")
                  .arg(sentenceStart(kind))
                  .arg(h.failingSince.secsTo(now) / 60)
                  .arg(clockTime(h.failingSince))
                  .arg(h.failing)
                  .arg(h.firstError));
}

QString ServiceMonitor::statusText() const
{
    auto part = [this](CycleKind kind, const QString &done) {
        const Health &h = health(kind);
        if (!h.lastEnd.isValid())
            return QStringLiteral("nog niet");
        return clockTime(h.lastEnd) + QStringLiteral(": ") + (h.lastOk ? done : QStringLiteral("mislukt"));
    };
    QString text = QStringLiteral("Laatste ophaalactie %1; retour %2")
                       .arg(part(CycleKind::Retrieval, QStringLiteral("%1 ritten").arg(m_lastTrips)),
                            part(CycleKind::Return, QStringLiteral("%1 wachtend").arg(m_pending)));
    // The reference lists are named only while they fail: each trip needs them.
    const Health &reference = health(CycleKind::Reference);
    if (reference.lastEnd.isValid() && !reference.lastOk)
        text += QStringLiteral("; basistabellen %1").arg(part(CycleKind::Reference, QString()));
    if (m_running >= 0)
        text += QStringLiteral("; bezig met %1 sinds %2")
                    .arg(CycleName(CycleKind(m_running)), m_runningSince.toString(QStringLiteral("HH:mm:ss")));
    return text;
}

QByteArray ServiceMonitor::metrics(bool up) const
{
    QByteArray out;
    auto line = [&out](const QByteArray &text) { out += text + '\n'; };
    auto number = [](qint64 n) { return QByteArray::number(n); };
    QByteArray version = m_version.toUtf8();
    version.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");

    line("# HELP vorano_up Whether the program runs (0 once it has stopped).");
    line("# TYPE vorano_up gauge");
    line("vorano_up " + number(up ? 1 : 0));
    line("# HELP vorano_build_info The version of the running program.");
    line("# TYPE vorano_build_info gauge");
    line("vorano_build_info{version=\"" + version + "\"} 1");
    line("# HELP vorano_start_time_seconds When the program started.");
    line("# TYPE vorano_start_time_seconds gauge");
    line("vorano_start_time_seconds " + number(m_start));
    // Absent until a cycle of the kind succeeded: a start is no success, so restarts do not hide an outage.
    line("# HELP vorano_last_success_timestamp_seconds End of the last successful cycle (absent until one "
         "succeeded since the start).");
    line("# TYPE vorano_last_success_timestamp_seconds gauge");
    for (CycleKind kind : {CycleKind::Retrieval, CycleKind::Return, CycleKind::Reference})
        if (health(kind).lastSuccess > 0)
            line("vorano_last_success_timestamp_seconds{cycle=\"" + QByteArray(metricLabel(kind)) + "\"} " +
                 number(health(kind).lastSuccess));
    line("# HELP vorano_cycle_failures_total Cycles that failed since the program start.");
    line("# TYPE vorano_cycle_failures_total counter");
    for (CycleKind kind : {CycleKind::Retrieval, CycleKind::Return, CycleKind::Reference})
        line("vorano_cycle_failures_total{cycle=\"" + QByteArray(metricLabel(kind)) + "\"} " +
             number(health(kind).failures));
    line("# HELP vorano_trips_total Trips handled since the program start.");
    line("# TYPE vorano_trips_total counter");
    line("vorano_trips_total{result=\"stored\"} " + number(m_totals.stored));
    line("vorano_trips_total{result=\"already_stored\"} " + number(m_totals.alreadyStored));
    line("vorano_trips_total{result=\"changed\"} " + number(m_totals.changed));
    line("vorano_trips_total{result=\"added\"} " + number(m_totals.added));
    line("vorano_trips_total{result=\"cancelled\"} " + number(m_totals.cancelled));
    line("vorano_trips_total{result=\"not_found\"} " + number(m_totals.notFound));
    line("vorano_trips_total{result=\"refused\"} " + number(m_totals.refused));
    line("vorano_trips_total{result=\"dropped\"} " + number(m_totals.dropped));
    line("vorano_trips_total{result=\"held_back\"} " + number(m_totals.heldBack));
    line("# HELP vorano_trips_confirmed_total Confirmations sent to the service since the program start.");
    line("# TYPE vorano_trips_confirmed_total counter");
    line("vorano_trips_confirmed_total " + number(m_totals.confirmed));
    line("# HELP vorano_events_total Ride events sent since the program start.");
    line("# TYPE vorano_events_total counter");
    line("vorano_events_total{result=\"accepted\"} " + number(m_totals.eventsAccepted));
    line("vorano_events_total{result=\"refused\"} " + number(m_totals.eventsRefused));
    line("# HELP vorano_events_pending Ride events waiting to be sent after the last return cycle.");
    line("# TYPE vorano_events_pending gauge");
    line("vorano_events_pending " + number(m_pending));
    line("# HELP vorano_events_waiting Of the pending events, those that cannot be sent yet (ride gone, no vehicle).");
    line("# TYPE vorano_events_waiting gauge");
    line("vorano_events_waiting " + number(m_waiting));
    return out;
}

bool ServiceMonitor::writeStatusFile(bool up) const
{
    if (m_statusFile.isEmpty())
        return false;
    // A cut file would be rejected by the monitoring as a whole, so the old one stays until a whole new one fits.
    // Readable for the group as well: a monitor in the service's group reads this file and nothing else of the
    // data folder.
    const QString failure = SaveWholeFile(m_statusFile, metrics(up),
                                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    if (failure.isEmpty()) {
        m_statusFileFailing = false;
        return true;
    }
    if (!m_statusFileFailing && m_log)
        m_log(LogLevel::Warning, FileNotWrittenMessage(m_statusFile, failure));
    m_statusFileFailing = true;
    return false;
}
