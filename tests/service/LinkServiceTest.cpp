// The link service without a window: its cycles on the worker thread, what it counts, what it says, how it stops.
#include "service/LinkService.h"

#include "OstrelSim.h"
#include "base/AbortToken.h"
#include "base/BlockingWait.h"
#include "base/VoranoError.h"
#include "service/ServiceWiring.h"
#include "support/TestNetwork.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

namespace
{

class FixedClock : public Clock
{
  public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 11), QTime(8, 30)); }
};

struct Line {
    LogLevel level;
    QString text;
};

class LinkServiceTest : public testing::Test
{
  protected:
    QTemporaryDir dir;
    FixedClock clock;
    AbortToken stop;
    Operations ops;
    ServiceSetup setup;
    QList<Line> lines;
    std::unique_ptr<LinkService> service; // last: it logs until it has gone

    LinkServiceTest()
    {
        setup.programFile = dir.filePath(QStringLiteral("VoranoOstrel"));
        setup.startTimers = false;
        setup.stopToken = &stop;
    }

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray read(const QString &name) const
    {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static QByteArray settings(const QByteArray &elements)
    {
        return "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n" + elements +
               "  </Hoofdscherm>\r\n</Configuration>\r\n";
    }

    void start()
    {
        service = std::make_unique<LinkService>(ops, setup);
        // Delivered on this thread, also when the worker logs.
        QObject::connect(service.get(), &LinkService::logLine, service.get(),
                         [this](int level, const QString &line, bool) {
                             lines << Line{LogLevel(level), line.mid(18)}; // without "dd-mm-yyyy hh:nn  "
                         });
        service->start();
    }

    // Runs the main thread's event loop until the worker has nothing left and its results have arrived.
    void settle(int ms = 30000)
    {
        const QDeadlineTimer deadline(ms);
        while (service->worker().busy() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    QStringList texts(LogLevel level) const
    {
        QStringList out;
        for (const Line &line : lines)
            if (line.level == level)
                out << line.text;
        return out;
    }

    QByteArray metric(const QByteArray &name) const
    {
        for (const QByteArray &line : read(QStringLiteral("status.prom")).split('\n'))
            if (line.startsWith(name + ' '))
                return line.mid(name.size() + 1);
        return "(ontbreekt)";
    }
};

// A trip the service offers again keeps its one ride: information, not an error; the cycle succeeds and the
// counts say what happened.
TEST_F(LinkServiceTest, TheSameTripsRetrievedEightTimesGiveFiveRidesAndNoFailure)
{
    OstrelSim sim;
    ASSERT_TRUE(sim.start());
    OstrelSim::TripGeneration five;
    five.count = 5;
    sim.setGeneratedTrips(five);
    write(QStringLiteral("VoranotoOstrel.xml"),
          settings("    <xLoginDriver_Text>SQLite</xLoginDriver_Text>\r\n"
                   "    <xSoapServer_Text>" +
                   sim.url().toUtf8() +
                   "</xSoapServer_Text>\r\n"
                   "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n    <xVerwerken_Checked>TRUE</xVerwerken_Checked>\r\n"
                   "    <xBevestigen_Checked>TRUE</xBevestigen_Checked>\r\n"
                   "    <xStoringMinuten_Text>1</xStoringMinuten_Text>\r\n"));
    ops = WireServiceOperations(TestLinks(stop));
    setup.clock = &clock;
    start();
    for (int i = 0; i < 8; ++i) {
        service->timers().controleTick();
        settle();
    }
    EXPECT_EQ(metric("vorano_trips_total{result=\"stored\"}"), "5");
    EXPECT_EQ(metric("vorano_trips_total{result=\"already_stored\"}"), "35");
    EXPECT_EQ(metric("vorano_trips_confirmed_total"), "40");
    EXPECT_EQ(metric("vorano_cycle_failures_total{cycle=\"retrieval\"}"), "0");
    EXPECT_TRUE(texts(LogLevel::Error).isEmpty()) << texts(LogLevel::Error).join(QLatin1Char('\n')).toStdString();
    for (const QString &warning : texts(LogLevel::Warning))
        EXPECT_FALSE(warning.contains(QStringLiteral("mislukt"))) << warning.toStdString();
    EXPECT_EQ(texts(LogLevel::Information).filter(QStringLiteral("staat al als rit")).size(), 35);
    EXPECT_TRUE(texts(LogLevel::Information)
                    .contains(QStringLiteral("Ritten opgehaald: 0 opgeslagen, 0 gewijzigd, 0 geannuleerd, 5 bevestigd, "
                                             "0 geweigerd, 5 al opgeslagen.")));
    EXPECT_TRUE(service->monitor().statusText().startsWith(QStringLiteral("Laatste ophaalactie 08:30: 5 ritten")))
        << service->monitor().statusText().toStdString();
}

// "Ritten verwerken" off while retrieval is on: the start says so, and each retrieval that drops trips says how
// many.
TEST_F(LinkServiceTest, ProcessingOffIsSaidAtStartAndAtEveryRetrievalThatDropsTrips)
{
    OstrelSim sim;
    ASSERT_TRUE(sim.start());
    OstrelSim::TripGeneration three;
    three.count = 3;
    sim.setGeneratedTrips(three);
    write(QStringLiteral("VoranotoOstrel.xml"), settings("    <xLoginDriver_Text>SQLite</xLoginDriver_Text>\r\n"
                                                         "    <xSoapServer_Text>" +
                                                         sim.url().toUtf8() +
                                                         "</xSoapServer_Text>\r\n"
                                                         "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n"));
    ops = WireServiceOperations(TestLinks(stop));
    start();
    EXPECT_FALSE(texts(LogLevel::Warning).filter(QStringLiteral("Ritten verwerken (xVerwerken) staat uit")).isEmpty())
        << texts(LogLevel::Warning).join(QLatin1Char('\n')).toStdString();
    service->timers().controleTick();
    settle();
    EXPECT_TRUE(texts(LogLevel::Warning)
                    .contains(QStringLiteral(
                        "3 opgehaalde rit(ten) niet verwerkt: \"Ritten verwerken naar centrale agenda\" staat uit.")))
        << texts(LogLevel::Warning).join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(metric("vorano_trips_total{result=\"dropped\"}"), "3");
}

// Clicks and return-message ticks while a job runs are dropped; a retrieval that falls due meanwhile runs when
// the job ends (or between two batches of the return messages), once however often it fell due.
TEST_F(LinkServiceTest, JobsRunOneAtATimeAndARetrievalDueMeanwhileFollows)
{
    QStringList order;
    std::atomic<bool> retrievalAccepted{true};
    std::atomic<bool> returnAccepted{true};
    auto onMain = [this](const std::function<void()> &f) {
        QMetaObject::invokeMethod(service.get(), f, Qt::BlockingQueuedConnection);
    };
    ops.retrievalCycle = [&](OperationContext &, QWidget *) {
        order << QStringLiteral("cyclus");
        return CycleOutcome{};
    };
    ops.returnCycle = [&](OperationContext &ctx, QWidget *) {
        order << QStringLiteral("eerste partij");
        onMain([&] {
            service->timers().controleTick();
            service->timers().controleTick();
            retrievalAccepted = service->runRetrievalNow();
            returnAccepted = service->worker().post(
                QStringLiteral("RetourTimer"), [] {}, CycleWorker::WhenBusy::Drop);
        });
        ctx.runWaiting();
        order << QStringLiteral("tweede partij");
        onMain([&] { service->timers().controleTick(); });
        return CycleOutcome{};
    };
    start();
    service->timers().retourTimerTick();
    settle();
    EXPECT_EQ(order, (QStringList{QStringLiteral("eerste partij"), QStringLiteral("cyclus"),
                                  QStringLiteral("tweede partij"), QStringLiteral("cyclus")}));
    EXPECT_FALSE(retrievalAccepted);
    EXPECT_FALSE(returnAccepted);
    EXPECT_TRUE(service->timers().controle().isActive() || !service->controls().checked(Control::xAuto));
}

// The reference-list timer runs the refresh on the worker: the four lists in order, the first error ends it.
TEST_F(LinkServiceTest, ReferenceRefreshRunsOnTheWorkerAndStopsAtAnError)
{
    QStringList fetched;
    ops.referenceRefresh = [&](OperationContext &, QWidget *) {
        fetched << QStringLiteral("wagensoorten");
        throw TransportError(QStringLiteral("Host not found"));
        return CycleOutcome{};
    };
    start();
    service->controls().setChecked(Control::xAuto, true);
    service->timers().basisTabellenTick();
    settle();
    EXPECT_EQ(fetched, QStringList{QStringLiteral("wagensoorten")});
    EXPECT_EQ(texts(LogLevel::Error), QStringList{QStringLiteral("Host not found")});
    EXPECT_EQ(service->timers().basisTabellen().interval(), 20000);
    EXPECT_EQ(metric("vorano_cycle_failures_total{cycle=\"reference\"}"), "1");
}

// The watchdog's verdict: a cycle that marks its progress, or waits within a limit of its own, is alive; one that
// does neither beyond the step limit is stuck, and the service manager may restart the program.
TEST_F(LinkServiceTest, AStuckCycleLosesTheWatchdogAndAProgressingOneKeepsIt)
{
    setup.stepLimitMs = 1000; // well above the 20 ms between two marks, below the 1.3 s after the last one
    std::atomic<int> phase{0};
    ops.retrievalCycle = [&](OperationContext &ctx, QWidget *) {
        const QDeadlineTimer marking(800);
        while (!marking.hasExpired()) {
            ctx.pump.processEvents();
            QThread::msleep(20);
        }
        phase = 1;
        {
            const BlockingWait wait(10000);
            QThread::msleep(800);
        }
        phase = 2;
        while (phase != 3)
            QThread::msleep(10);
        return CycleOutcome{};
    };
    start();
    service->timers().controleTick();
    bool healthyWhileMarking = true;
    bool healthyWhileWaiting = true;
    while (phase < 2) {
        (phase == 0 ? healthyWhileMarking : healthyWhileWaiting) &= service->workHealthy();
        QThread::msleep(20);
    }
    QThread::msleep(500);
    EXPECT_TRUE(healthyWhileMarking);
    EXPECT_TRUE(healthyWhileWaiting);
    EXPECT_FALSE(service->workHealthy());
    phase = 3;
    settle();
    EXPECT_TRUE(service->workHealthy());
}

// A stop ends within the grace whatever the cycle does: the files are written, the stop line logged, and a cycle
// that does not end is left behind (the program then ends without it).
TEST_F(LinkServiceTest, AStopEndsWithinTheGraceEvenWhenACycleDoesNotEnd)
{
    std::atomic<bool> release{false};
    std::atomic<bool> running{false};
    ops.retrievalCycle = [&](OperationContext &, QWidget *) {
        running = true;
        while (!release)
            QThread::msleep(10);
        return CycleOutcome{};
    };
    start();
    service->controls().setText(Control::Eigenaar, QStringLiteral("Z9"));
    service->timers().controleTick();
    while (!running)
        QThread::msleep(5);
    bool stopped = false;
    QObject::connect(service.get(), &LinkService::stopped, [&] { stopped = true; });
    QElapsedTimer clock;
    clock.start();
    service->stop(QStringLiteral("signaal SIGTERM"));
    while (!stopped && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(stopped);
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_TRUE(service->workerAbandoned());
    EXPECT_TRUE(read(QStringLiteral("VoranotoOstrel.xml")).contains("<Eigenaar_Text>Z9</Eigenaar_Text>"));
    EXPECT_EQ(metric("vorano_up"), "0");
    EXPECT_FALSE(texts(LogLevel::Information).filter(QStringLiteral("Gestopt (signaal SIGTERM)")).isEmpty());
    release = true;
    EXPECT_TRUE(service->worker().waitClosed(5000));
}

// A reload applies the interval at once: the next retrieval counts from the reload.
TEST_F(LinkServiceTest, AReloadAppliesTheIntervalAtOnce)
{
    write(QStringLiteral("VoranotoOstrel.xml"), settings("    <xAuto_Checked>TRUE</xAuto_Checked>\r\n"
                                                         "    <xInterval_Text>7</xInterval_Text>\r\n"));
    start();
    service->timers().mainTimerTick();
    EXPECT_EQ(service->timers().controle().interval(), 7 * 60000);
    write(QStringLiteral("VoranotoOstrel.xml"), settings("    <xAuto_Checked>TRUE</xAuto_Checked>\r\n"
                                                         "    <xInterval_Text>1</xInterval_Text>\r\n"));
    service->reloadSettings();
    settle();
    EXPECT_EQ(service->timers().controle().interval(), 60000);
    EXPECT_TRUE(service->timers().controle().isActive());
    EXPECT_FALSE(texts(LogLevel::Information).filter(QStringLiteral("Instellingen opnieuw gelezen")).isEmpty());
}

// The owner codes the rides carry outlive a settings file edited by hand before the program wrote its list: the
// file names the new code only, and the earlier one is still looked for, and written at the stop.
TEST_F(LinkServiceTest, AReloadKeepsTheOwnerCodesInUse)
{
    write(QStringLiteral("VoranotoOstrel.xml"), settings("    <Eigenaar_Text>007</Eigenaar_Text>\r\n"));
    start();
    service->controls().setLines(Control::GebruikteEigenaren, {QStringLiteral("007")}); // as the import keeps it
    write(QStringLiteral("VoranotoOstrel.xml"), settings("    <Eigenaar_Text>Z9</Eigenaar_Text>\r\n"));
    service->reloadSettings();
    settle();
    EXPECT_EQ(service->controls().text(Control::Eigenaar), QStringLiteral("Z9"));
    EXPECT_EQ(service->controls().lines(Control::GebruikteEigenaren), QStringList{QStringLiteral("007")});
    bool stopped = false;
    QObject::connect(service.get(), &LinkService::stopped, [&] { stopped = true; });
    service->stop(QStringLiteral("signaal SIGTERM"));
    while (!stopped)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(read(QStringLiteral("VoranotoOstrel.xml")).contains("<GebruikteEigenaren_Lines>"));
}

} // namespace

namespace
{

// A call that the stop ends is what the stop asked for: an information line, neither a failure nor a success.
TEST_F(LinkServiceTest, ACallEndedByTheStopIsNoFailure)
{
    std::atomic<bool> running{false};
    AbortToken token;
    setup.stopToken = &token;
    ops.retrievalCycle = [&](OperationContext &, QWidget *) -> CycleOutcome {
        running = true;
        while (!token.tripped())
            QThread::msleep(5);
        throw TransportError(AbortToken::abortedText());
    };
    start();
    service->timers().controleTick();
    while (!running)
        QThread::msleep(5);
    bool stopped = false;
    QObject::connect(service.get(), &LinkService::stopped, [&] { stopped = true; });
    service->stop(QStringLiteral("signaal SIGTERM"));
    const QDeadlineTimer deadline(20000);
    while (!stopped && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(stopped);
    EXPECT_TRUE(texts(LogLevel::Error).isEmpty()) << texts(LogLevel::Error).join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(texts(LogLevel::Information).contains(AbortToken::abortedText()));
    EXPECT_EQ(metric("vorano_cycle_failures_total{cycle=\"retrieval\"}"), "0");
    EXPECT_EQ(metric("vorano_last_success_timestamp_seconds{cycle=\"retrieval\"}"), "(ontbreekt)");
}

} // namespace
