#include "service/ServiceMonitor.h"
#include "base/LogLevel.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

struct Logged {
    LogLevel level;
    QString line;
};

struct MonitorFixture : testing::Test {
    QTemporaryDir dir;
    QList<Logged> logged;
    const QDateTime start{QDate(2026, 3, 29), QTime(1, 50), Qt::UTC};
    ServiceMonitor monitor{dir.filePath(QStringLiteral("status.prom")), QStringLiteral("1.0.0.1"), start,
                           [this](LogLevel level, const QString &line) { logged.append({level, line}); }};

    QDateTime at(int minutes) const { return start.addSecs(qint64(minutes) * 60); }
};

} // namespace

// A cycle that did something says what in one line; an idle one says nothing.
TEST_F(MonitorFixture, OneLinePerCycleThatDidSomething)
{
    monitor.cycleEnded(CycleKind::Retrieval, at(1), true, CycleOutcome{}, {}, 30);
    CycleOutcome trips;
    trips.stored = 3;
    trips.changed = 1;
    trips.cancelled = 2;
    trips.confirmed = 3;
    trips.refused = 1;
    monitor.cycleEnded(CycleKind::Retrieval, at(2), true, trips, {}, 30);
    CycleOutcome events;
    events.eventsAccepted = 4;
    events.eventsRefused = 1;
    events.eventsPending = 0;
    monitor.cycleEnded(CycleKind::Return, at(3), true, events, {}, 30);
    CycleOutcome idle;
    idle.eventsPending = 0;
    monitor.cycleEnded(CycleKind::Return, at(4), true, idle, {}, 30);
    ASSERT_EQ(logged.size(), 2);
    EXPECT_EQ(logged.at(0).level, LogLevel::Information);
    EXPECT_EQ(logged.at(0).line, QStringLiteral("Ritten opgehaald: 3 opgeslagen, 1 gewijzigd, 2 geannuleerd, "
                                                "3 bevestigd, 1 geweigerd."));
    EXPECT_EQ(logged.at(1).line, QStringLiteral("Retourmeldingen verzonden: 4 geaccepteerd, 1 geweigerd."));
    EXPECT_EQ(monitor.statusText(), QStringLiteral("Laatste ophaalactie 01:52: 6 ritten; retour 01:54: 0 wachtend"));
}

// The status names a cycle while it runs, and the reference lists while their refresh fails.
TEST_F(MonitorFixture, StatusNamesTheCycleUnderWayAndFailingReferenceLists)
{
    monitor.cycleStarted(CycleKind::Reference, at(0));
    EXPECT_EQ(monitor.statusText(), QStringLiteral("Laatste ophaalactie nog niet; retour nog niet; bezig met het "
                                                   "ophalen van de basistabellen sinds 01:50:00"));
    monitor.cycleEnded(CycleKind::Reference, at(1), false, {}, QStringLiteral("Time-out"), 30);
    monitor.cycleStarted(CycleKind::Retrieval, at(2));
    EXPECT_EQ(monitor.statusText(), QStringLiteral("Laatste ophaalactie nog niet; retour nog niet; basistabellen "
                                                   "01:51: mislukt; bezig met het ophalen van ritten sinds 01:52:00"));
    monitor.cycleEnded(CycleKind::Retrieval, at(3), true, {}, {}, 30);
    monitor.cycleEnded(CycleKind::Reference, at(4), true, {}, {}, 30);
    EXPECT_EQ(monitor.statusText(), QStringLiteral("Laatste ophaalactie 01:53: 0 ritten; retour nog niet"));
}

// Failing for the set number of minutes is one warning naming the first error; working again is one line.
TEST_F(MonitorFixture, FailureStateWarnsOnceAndRecoversOnce)
{
    monitor.cycleEnded(CycleKind::Retrieval, at(0), false, {}, QStringLiteral("Verbinding geweigerd"), 30);
    for (int minute = 1; minute < 30; ++minute)
        monitor.cycleEnded(CycleKind::Retrieval, at(minute), false, {}, QStringLiteral("Time-out"), 30);
    EXPECT_TRUE(logged.isEmpty());
    // The return cycle works meanwhile: the retrieval's state is its own.
    monitor.cycleEnded(CycleKind::Return, at(29), true, {}, {}, 30);
    monitor.cycleEnded(CycleKind::Retrieval, at(30), false, {}, QStringLiteral("Time-out"), 30);
    monitor.cycleEnded(CycleKind::Retrieval, at(31), false, {}, QStringLiteral("Time-out"), 30);
    ASSERT_EQ(logged.size(), 1);
    EXPECT_EQ(logged.at(0).level, LogLevel::Warning);
    EXPECT_EQ(logged.at(0).line, QStringLiteral("Het ophalen van ritten mislukt al 30 minuten (sinds 01:50, 31 keer); "
                                                "de eerste fout: Verbinding geweigerd"));
    EXPECT_EQ(monitor.statusText(), QStringLiteral("Laatste ophaalactie 02:21: mislukt; retour 02:19: 0 wachtend"));
    monitor.cycleEnded(CycleKind::Retrieval, at(32), true, {}, {}, 30);
    monitor.cycleEnded(CycleKind::Retrieval, at(33), true, {}, {}, 30);
    ASSERT_EQ(logged.size(), 2);
    EXPECT_EQ(logged.at(1).level, LogLevel::Information);
    EXPECT_EQ(logged.at(1).line, QStringLiteral("Het ophalen van ritten werkt weer (mislukte sinds 01:50)."));

    // A shorter setting; a failure that recovers before it says nothing.
    monitor.cycleEnded(CycleKind::Return, at(40), false, {}, QStringLiteral("Database weg"), 5);
    monitor.cycleEnded(CycleKind::Return, at(44), false, {}, QStringLiteral("Database weg"), 5);
    monitor.cycleEnded(CycleKind::Return, at(45), true, {}, {}, 5);
    monitor.cycleEnded(CycleKind::Return, at(50), false, {}, QStringLiteral("Database weg"), 5);
    monitor.cycleEnded(CycleKind::Return, at(55), false, {}, QStringLiteral("Database weg"), 5);
    ASSERT_EQ(logged.size(), 3);
    EXPECT_EQ(logged.at(2).line, QStringLiteral("Het verzenden van retourmeldingen mislukt al 5 minuten (sinds "
                                                "02:40, 2 keer); de eerste fout: Database weg"));
}

TEST_F(MonitorFixture, StatusFileHoldsTheMetrics)
{
    CycleOutcome trips;
    trips.stored = 3;
    trips.alreadyStored = 2;
    trips.cancelled = 1;
    trips.notFound = 1;
    trips.confirmed = 7;
    monitor.cycleEnded(CycleKind::Retrieval, at(1), true, trips, {}, 30);
    monitor.cycleEnded(CycleKind::Retrieval, at(2), false, {}, QStringLiteral("x"), 30);
    monitor.cycleEnded(CycleKind::Reference, at(2), false, {}, QStringLiteral("x"), 30);
    CycleOutcome events;
    events.eventsAccepted = 2;
    events.eventsRefused = 1;
    events.eventsPending = 4;
    events.eventsWaiting = 1;
    monitor.cycleEnded(CycleKind::Return, at(3), false, events, QStringLiteral("x"), 30);
    ASSERT_TRUE(monitor.writeStatusFile());
    QFile file(dir.filePath(QStringLiteral("status.prom")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QByteArrayList samples;
    for (const QByteArray &line : text.split('\n'))
        if (!line.startsWith('#') && !line.isEmpty())
            samples << line;
    const qint64 s = start.toSecsSinceEpoch();
    EXPECT_EQ(samples, (QByteArrayList{
                           "vorano_up 1",
                           "vorano_build_info{version=\"1.0.0.1\"} 1",
                           "vorano_start_time_seconds " + QByteArray::number(s),
                           // only the cycle that succeeded; the others have not since the start
                           "vorano_last_success_timestamp_seconds{cycle=\"retrieval\"} " + QByteArray::number(s + 60),
                           "vorano_cycle_failures_total{cycle=\"retrieval\"} 1",
                           "vorano_cycle_failures_total{cycle=\"return\"} 1",
                           "vorano_cycle_failures_total{cycle=\"reference\"} 1",
                           "vorano_trips_total{result=\"stored\"} 3",
                           "vorano_trips_total{result=\"already_stored\"} 2",
                           "vorano_trips_total{result=\"changed\"} 0",
                           "vorano_trips_total{result=\"added\"} 0",
                           "vorano_trips_total{result=\"cancelled\"} 1",
                           "vorano_trips_total{result=\"not_found\"} 1",
                           "vorano_trips_total{result=\"refused\"} 0",
                           "vorano_trips_total{result=\"dropped\"} 0",
                           "vorano_trips_total{result=\"held_back\"} 0",
                           "vorano_trips_confirmed_total 7",
                           "vorano_events_total{result=\"accepted\"} 2",
                           "vorano_events_total{result=\"refused\"} 1",
                           "vorano_events_pending 4",
                           "vorano_events_waiting 1",
                       }))
        << text.constData();
    EXPECT_TRUE(text.contains("# TYPE vorano_trips_total counter\n"));
    EXPECT_TRUE(monitor.metrics(false).startsWith("# HELP vorano_up"));
    EXPECT_TRUE(monitor.metrics(false).contains("\nvorano_up 0\n"));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).size() == 1) << "no temporary file stays";
}

// On a full disk (a file-size limit here) the monitoring keeps reading the last whole file, and one warning says
// why no newer one came; a write that fits again ends the failure, so the next one is reported again.
TEST_F(MonitorFixture, AStatusFileThatDoesNotFitLeavesTheOldOneWholeWithOneLine)
{
    const QString path = dir.filePath(QStringLiteral("status.prom"));
    ASSERT_TRUE(monitor.writeStatusFile());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray old = file.readAll();
    file.close();
    ASSERT_GT(old.size(), 1000);
    {
        FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(monitor.writeStatusFile());
        EXPECT_FALSE(monitor.writeStatusFile(false));
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
    file.close();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("status.prom")});
    ASSERT_EQ(logged.size(), 1);
    EXPECT_EQ(logged.at(0).level, LogLevel::Warning);
    EXPECT_EQ(logged.at(0).line, QStringLiteral("Bestand %1 is niet geschreven: het bestand wordt groter dan is "
                                                "toegestaan. Een eerder bestand met die naam is ongewijzigd.")
                                     .arg(QDir::toNativeSeparators(path)));

    ASSERT_TRUE(monitor.writeStatusFile(false));
    {
        FileSizeLimit limit(1000);
        EXPECT_FALSE(monitor.writeStatusFile());
    }
    EXPECT_EQ(logged.size(), 2);
}

TEST(StandardErrorLines, EveryLineCarriesThePriorityInTheJournal)
{
    EXPECT_EQ(StandardErrorLines("a\nb\n", LogLevel::Error, true), QByteArray("<3>a\n<3>b\n"));
    EXPECT_EQ(StandardErrorLines("a\n", LogLevel::Warning, true), QByteArray("<4>a\n"));
    EXPECT_EQ(StandardErrorLines("a\n", LogLevel::Information, true), QByteArray("<6>a\n"));
    EXPECT_EQ(StandardErrorLines("a\nb\n", LogLevel::Error, false), QByteArray("a\nb\n"));
}
