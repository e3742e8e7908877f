#pragma once

#include "base/CycleOutcome.h"
#include "base/LogLevel.h"

#include <QDateTime>
#include <QString>

#include <functional>

enum class CycleKind { Retrieval, Return, Reference };

// Turns the outcomes of the cycles into what an administrator watches: one journal line per cycle that did
// something, a warning when a cycle has failed for a while and a line when it works again, the service manager's
// status text and the status file for monitoring (Prometheus text format).
class ServiceMonitor
{
  public:
    using LogSink = std::function<void(LogLevel level, const QString &line)>;

    static constexpr const char *kStatusFileName = "status.prom";
    static constexpr int kDefaultFailureMinutes = 30;

    // statusFile empty: no status file. The status file names the start; a cycle's last success appears once one
    // succeeded, so a program restarted again and again never looks as if it got through.
    ServiceMonitor(QString statusFile, QString version, const QDateTime &start, LogSink log);

    // A cycle ended; ok false with the first error it met. failureMinutes: how long every cycle of a kind must
    // have failed before the warning (the setting; 0 or less: the default).
    void cycleEnded(CycleKind kind, const QDateTime &now, bool ok, const CycleOutcome &outcome,
                    const QString &firstError, int failureMinutes);

    // Adds what a cycle did to the totals without judging it (a cycle the stop cut short).
    void counted(const CycleOutcome &outcome);

    // A cycle began its work: the status names it until it ends (cycleEnded or counted).
    void cycleStarted(CycleKind kind, const QDateTime &now);

    // "Laatste ophaalactie 14:02: 3 ritten; retour 14:03: 0 wachtend", then while they apply
    // "; basistabellen 14:05: mislukt" and "; bezig met het ophalen van ritten sinds 14:06:10".
    QString statusText() const;
    // The status file's text; up false for the one written at stop.
    QByteArray metrics(bool up = true) const;
    // Writes the status file through a temporary file that replaces it only when all of it was written; otherwise
    // the old file stays and a warning says why, once until a write succeeds again. Returns whether it was written.
    bool writeStatusFile(bool up = true) const;

  private:
    struct Health {
        qint64 lastSuccess = 0; // seconds since the epoch
        qint64 failures = 0;
        QDateTime failingSince; // invalid while the last cycle succeeded
        int failing = 0;        // cycles failed since then
        QString firstError;
        bool warned = false;
        QDateTime lastEnd;
        bool lastOk = true;
    };
    Health &health(CycleKind kind) { return m_health[int(kind)]; }
    const Health &health(CycleKind kind) const { return m_health[int(kind)]; }
    void track(CycleKind kind, const QDateTime &now, bool ok, const QString &firstError, int failureMinutes);

    QString m_statusFile;
    QString m_version;
    LogSink m_log;
    Health m_health[3];
    qint64 m_start = 0;    // seconds since the epoch
    CycleOutcome m_totals; // trips and events since the start
    int m_pending = 0;
    int m_waiting = 0;
    int m_lastTrips = 0;
    int m_running = -1; // the CycleKind under way, -1 for none
    QDateTime m_runningSince;
    mutable bool m_statusFileFailing = false;
};

// The Dutch name of a cycle in a log line ("het ophalen van ritten", ...).
QString CycleName(CycleKind kind);
