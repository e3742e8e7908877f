#include "feedback/RetourCycle.h"
#include "service/ServiceWiring.h"

#include "OutboxRows.h"
#include "base/OperationContext.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "link/TextList.h"
#include "settings/MemoryControls.h"
#include "support/ScriptedService.h"
#include "support/TempProgramDir.h"
#include "support/TestNetwork.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <functional>

using namespace OutboxRows;

namespace
{

class HookPump : public EventPump
{
  public:
    void processEvents() override
    {
        ++passes;
        if (hook)
            hook();
    }
    int passes = 0;
    std::function<void()> hook;
};

QString statusReply(const QString &status)
{
    return u"<kwp version=\"2.3\"><body><action><name>SendStatus</name><status>"_qs + status +
           u"</status></action></body></kwp>"_qs;
}

QDateTime minute(int m)
{
    return QDateTime(QDate(2015, 3, 31), QTime(10, m));
}

class RetourCycleTest : public ::testing::Test
{
  protected:
    RetourCycleTest()
    {
        controls.setText(Control::xLoginDriver, u"SQLite"_qs);
        controls.setChecked(Control::xBezet, true);
        controls.setChecked(Control::BackupsMaken, true);
        controls.setText(Control::Eigenaar, u"007"_qs);
        controls.setText(Control::xInlognaam, u"taxi"_qs);
        controls.setText(Control::xPaswoord, u"geheim"_qs);
        controls.setText(Control::xSoapServer, u"http://127.0.0.1:9/_external/external.cfc"_qs);
    }

    // The copy folder of the day the cycle ran.
    QString today() const { return u"Ostrel/Backups/Uit/"_qs + clock.now().date().toString(u"yyyy-MM-dd"_qs); }

    OperationContext context()
    {
        return OperationContext{controls, service.factory(), db,         pump,
                                clock,    dir.folders(),     resultList, [this](const QString &m) { log << m; }};
    }

    // Pending events of owner 007: 10 (ride 1, type 0, 10:02) and 11 (ride 2, type 8, 10:01). The rest is never
    // selected: another owner, other states, a ride without a vehicle, a vehicle missing from wagens, no ride.
    void arrangeOutbox()
    {
        addVehicle(db, 1, u"12-ABC-3"_qs, 17);
        addRide(db, 1, 1, 5001, u"L"_qs);
        addRide(db, 2, 1, 5002);
        addRide(db, 3, QVariant(), 5003);
        addRide(db, 4, 99, 5004);
        addEvent(db, 10, 1, 0, u"007"_qs, minute(2));
        addEvent(db, 11, 2, 8, u"007"_qs, minute(1));
        addEvent(db, 12, 1, 2, u"008"_qs, minute(0));
        addEvent(db, 13, 1, 1, u"007"_qs, minute(0), 1);
        addEvent(db, 14, 1, 1, u"007"_qs, minute(0), 2);
        addEvent(db, 15, 1, 1, u"007"_qs, minute(0), 3);
        addEvent(db, 16, 3, 1, u"007"_qs, minute(0));
        addEvent(db, 17, 4, 1, u"007"_qs, minute(0));
        addEvent(db, 18, 999, 1, u"007"_qs, minute(0));
    }

    void expectUntouched()
    {
        for (auto [id, status] : {std::pair{12, 0}, {13, 1}, {14, 2}, {15, 3}, {16, 0}, {17, 0}, {18, 0}})
            EXPECT_EQ(eventStatus(db, id), status) << id;
    }

    MemoryControls controls;
    ScriptedService service;
    TempProgramDir dir;
    DispatchDb db{controls, dir.path()};
    HookPump pump;
    SystemClock clock;
    TextList resultList;
    QStringList log;
    RetourCycle cycle;
};

TEST_F(RetourCycleTest, SendsThePendingEventsOfTheOwnerOldestFirstAndMarksThem)
{
    arrangeOutbox();
    service.reply(statusReply(u"200"_qs));
    service.reply(statusReply(u"500"_qs));
    OperationContext ctx = context();

    EXPECT_TRUE(cycle.RetourTimerTimer(ctx));

    ASSERT_EQ(service.calls().size(), 2u);
    EXPECT_EQ(service.calls()[0].url, u"http://127.0.0.1:9/_external/external.cfc"_qs);
    EXPECT_TRUE(service.calls()[0].xml.startsWith(u"<kwp version=\"2.3\"><header><username>taxi</username>"_qs));
    EXPECT_TRUE(service.calls()[0].xml.contains(
        u"<trip><id>5002</id><externalID>2</externalID><datetime>20150331080500</datetime><messagetype>8</messagetype>"
        "<latitude>52,37022</latitude><longitude>4,89517</longitude>"_qs));
    EXPECT_TRUE(service.calls()[0].xml.contains(u"<param1>20150331081000</param1>"_qs));
    EXPECT_TRUE(service.calls()[0].xml.endsWith(u"</kwp>\r\n"_qs));
    EXPECT_TRUE(service.calls()[1].xml.contains(
        u"<name>processTrips</name><triplist><trip><id>5001</id><externalID>1</externalID>"_qs));
    EXPECT_TRUE(service.calls()[1].xml.contains(
        u"<noShow>1</noShow><noShowComment>Niet thuis</noShowComment><odoMeterStart>12345670</odoMeterStart>"
        "<odoMeterEnd>12400100</odoMeterEnd><realcombinationid>0</realcombinationid><combined>0</combined>"
        "<licenseplatenumber>12-ABC-3</licenseplatenumber><vehiclenumber>17</vehiclenumber>"_qs));

    EXPECT_EQ(eventStatus(db, 11), 1);
    EXPECT_EQ(eventStatus(db, 10), 3);
    expectUntouched();
    EXPECT_EQ(statusTransactions(db), (QStringList{u"2:200"_qs, u"1:500"_qs}));
    EXPECT_EQ(pump.passes, 2);
    // The service receives the password; the page "Uitgaand" and the copies never hold it.
    const QString masked = u"<password>********</password>"_qs;
    EXPECT_TRUE(service.calls()[1].xml.contains(u"<password>geheim</password>"_qs));
    EXPECT_EQ(controls.lines(Control::UitgaanPakket),
              TextList(QString(service.calls()[1].xml).replace(u"<password>geheim</password>"_qs, masked)).lines());
    EXPECT_EQ(dir.files(today()), (QStringList{u"RcvdStatus_1_0.xml"_qs, u"RcvdStatus_2_8.xml"_qs,
                                               u"SendStatus_1_0.xml"_qs, u"SendStatus_2_8.xml"_qs}));
    EXPECT_EQ(dir.read(today() + u"/SendStatus_2_8.xml"_qs),
              QString(service.calls()[0].xml).replace(u"<password>geheim</password>"_qs, masked).toLatin1());
    EXPECT_EQ(dir.read(today() + u"/RcvdStatus_1_0.xml"_qs), (statusReply(u"500"_qs) + u"\r\n"_qs).toLatin1());
    EXPECT_TRUE(log.isEmpty()) << qPrintable(log.join(u'\n'));

    // A second tick finds nothing left to send.
    EXPECT_TRUE(cycle.RetourTimerTimer(ctx));
    EXPECT_EQ(service.calls().size(), 2u);
}

TEST_F(RetourCycleTest, NothingAtAllWhileBezetIsUnchecked)
{
    controls.setChecked(Control::xBezet, false);
    OperationContext ctx = context();
    EXPECT_TRUE(cycle.RetourTimerTimer(ctx));
    EXPECT_FALSE(db.isOpen()); // not even a connection, so no statement
    EXPECT_TRUE(service.calls().empty());

    arrangeOutbox();
    db.close();
    controls.setChecked(Control::xBezet, true);
    service.setResponder([](const QString &) { return statusReply(u"200"_qs); });
    cycle.RetourTimerTimer(ctx);
    EXPECT_EQ(service.calls().size(), 2u);
}

TEST_F(RetourCycleTest, UnreachableServiceLeavesEveryRowPendingTickAfterTick)
{
    arrangeOutbox();
    OperationContext ctx = context();
    for (int tick = 0; tick < 2; ++tick) {
        service.fail(u"Host niet bereikbaar"_qs);
        EXPECT_THROW(cycle.RetourTimerTimer(ctx), TransportError);
        EXPECT_FALSE(cycle.running());
    }
    ASSERT_EQ(service.calls().size(), 2u);
    EXPECT_EQ(service.calls()[0].xml, service.calls()[1].xml); // the same oldest event again
    EXPECT_EQ(eventStatus(db, 10), 0);
    EXPECT_EQ(eventStatus(db, 11), 0);
    EXPECT_TRUE(statusTransactions(db).isEmpty());
    // The document was kept before sending; no reply copy.
    EXPECT_EQ(dir.files(today()), QStringList{u"SendStatus_2_8.xml"_qs});
}

TEST_F(RetourCycleTest, FailedStatusUpdateAfterAnAcceptedSendSendsTheEventAgain)
{
    arrangeOutbox();
    db.exec(u"create trigger weiger before update on koppelingen begin select raise(abort, 'geweigerd'); end"_qs)
        .finish();
    service.setResponder([](const QString &) { return statusReply(u"200"_qs); });
    OperationContext ctx = context();

    EXPECT_THROW(cycle.RetourTimerTimer(ctx), DatabaseError);
    EXPECT_EQ(service.calls().size(), 1u);
    EXPECT_EQ(eventStatus(db, 11), 0);
    // The transaction row goes with the mark: one row per recorded answer, none for an answer that was not.
    EXPECT_EQ(statusTransactions(db), QStringList{});

    db.exec(u"drop trigger weiger"_qs).finish();
    cycle.RetourTimerTimer(ctx);
    ASSERT_EQ(service.calls().size(), 3u);
    EXPECT_EQ(service.calls()[1].xml, service.calls()[0].xml);
    EXPECT_EQ(eventStatus(db, 11), 1);
    EXPECT_EQ(eventStatus(db, 10), 1);
}

TEST_F(RetourCycleTest, AnErrorEndsTheTickAndLeavesTheRestPending)
{
    arrangeOutbox();
    addEvent(db, 20, 2, 3, u"007"_qs, minute(5));
    service.reply(statusReply(u"200"_qs));
    service.fail(u"Operation canceled"_qs);
    OperationContext ctx = context();

    EXPECT_THROW(cycle.RetourTimerTimer(ctx), TransportError);
    EXPECT_EQ(eventStatus(db, 11), 1);
    EXPECT_EQ(eventStatus(db, 10), 0);
    EXPECT_EQ(eventStatus(db, 20), 0);
    EXPECT_EQ(service.calls().size(), 2u);
}

// As the link service runs it: a tick that ends in an error still counts the event that went out before it.
TEST_F(RetourCycleTest, AFailedTickStillCountsWhatWentOut)
{
    arrangeOutbox();
    addEvent(db, 20, 2, 3, u"007"_qs, minute(5));
    service.reply(statusReply(u"200"_qs));
    service.fail(u"Operation canceled"_qs);
    OperationContext ctx = context();

    const CycleOutcome outcome = WireServiceOperations(TestLinks(NoStop())).returnCycle(ctx, nullptr);
    EXPECT_EQ(outcome.eventsAccepted, 1);
    EXPECT_EQ(outcome.eventsPending, 5) << "10 and 20 wait to be sent, 16 to 18 cannot be sent yet";
    EXPECT_EQ(eventStatus(db, 11), 1);
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(log.last().contains(u"Operation canceled"_qs)) << log.join(u'\n').toStdString();
}

struct ReplyCase {
    const char *what;
    QString reply;
    int status;
    const char *remark;
};

void PrintTo(const ReplyCase &c, std::ostream *os)
{
    *os << c.what;
}

class RetourReplyTest : public RetourCycleTest, public ::testing::WithParamInterface<ReplyCase>
{
};

TEST_P(RetourReplyTest, OnlyStatus200MarksAnEventAccepted)
{
    addVehicle(db, 1, u"AB"_qs, 1);
    addRide(db, 1, 1, 5001);
    addEvent(db, 10, 1, 2, u"007"_qs, minute(0));
    service.reply(GetParam().reply);
    OperationContext ctx = context();

    cycle.RetourTimerTimer(ctx);

    EXPECT_EQ(eventStatus(db, 10), GetParam().status);
    EXPECT_EQ(statusTransactions(db), QStringList{u"1:"_qs + QString::fromLatin1(GetParam().remark)});
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RetourReplyTest,
    ::testing::Values(ReplyCase{"accepted", statusReply(u"200"_qs), 1, "200"},
                      ReplyCase{"accepted under another action name",
                                u"<kwp><name>processTrips</name><status>200</status></kwp>"_qs, 1, "200"},
                      ReplyCase{"refused", statusReply(u"401"_qs), 3, "401"},
                      ReplyCase{"no status", u"<kwp><name>SendStatus</name></kwp>"_qs, 3, ""},
                      ReplyCase{"status with blanks", statusReply(u" 200 "_qs), 3, " 200 "},
                      ReplyCase{"status with a quote", statusReply(u"4'0"_qs), 3, "4'0"},
                      ReplyCase{"10 MB reply", statusReply(u"200"_qs) + QString(10 * 1024 * 1024, u'x'), 1, "200"}));

TEST_F(RetourCycleTest, SoapFaultLeavesTheEventPending)
{
    arrangeOutbox();
    OperationContext ctx = context();
    service.setResponder([](const QString &) -> QString { throw SoapFault(u"Server.userException"_qs); });
    EXPECT_THROW(cycle.RetourTimerTimer(ctx), SoapFault);
    EXPECT_EQ(eventStatus(db, 11), 0);
    EXPECT_TRUE(statusTransactions(db).isEmpty());
}

TEST_F(RetourCycleTest, OwnerCodeIsABoundValueAndReadAtEachTick)
{
    addVehicle(db, 1, u"AB"_qs, 1);
    addRide(db, 1, 1, 5001);
    addEvent(db, 10, 1, 1, u"O'B"_qs, minute(0));
    addEvent(db, 11, 1, 1, u"' o"_qs, minute(1));
    addEvent(db, 12, 1, 1, u"007"_qs, minute(2));
    service.setResponder([](const QString &) { return statusReply(u"200"_qs); });
    OperationContext ctx = context();

    controls.setText(Control::Eigenaar, u"O'B"_qs);
    cycle.RetourTimerTimer(ctx);
    EXPECT_EQ(eventStatus(db, 10), 1);
    EXPECT_EQ(eventStatus(db, 11), 0);
    EXPECT_EQ(eventStatus(db, 12), 0);

    controls.setText(Control::Eigenaar, u"' o"_qs);
    cycle.RetourTimerTimer(ctx);
    EXPECT_EQ(eventStatus(db, 11), 1);
    EXPECT_EQ(eventStatus(db, 12), 0);
}

TEST_F(RetourCycleTest, ATickDuringARunningCycleStartsNoSecondCycle)
{
    arrangeOutbox();
    service.setResponder([](const QString &) { return statusReply(u"200"_qs); });
    OperationContext ctx = context();
    int nested = 0;
    pump.hook = [&] {
        ++nested;
        EXPECT_TRUE(cycle.running());
        EXPECT_FALSE(cycle.RetourTimerTimer(ctx));
    };

    EXPECT_TRUE(cycle.RetourTimerTimer(ctx));

    EXPECT_EQ(nested, 2);
    EXPECT_EQ(service.calls().size(), 2u);
    EXPECT_EQ(statusTransactions(db).size(), 2);
    EXPECT_FALSE(cycle.running());
}

// A backlog is read a batch at a time; between two batches the operations that fell due meanwhile run (a
// retrieval, which closes the shared connection), and the cycle goes on with the next batch, oldest first.
TEST_F(RetourCycleTest, ABacklogGoesOutInBatchesWithWaitingOperationsRunBetweenThem)
{
    addVehicle(db, 1, u"AB"_qs, 1);
    addRide(db, 1, 1, 5001);
    for (int i = 0; i < 7; ++i)
        addEvent(db, 100 + i, 1, 2 + i, u"007"_qs, minute(10 - i));
    service.setResponder([](const QString &) { return statusReply(u"200"_qs); });
    RetourCycle batched(3);
    OperationContext ctx = context();
    QList<int> sentBeforeWaiting;
    ctx.runWaiting = [&] {
        sentBeforeWaiting << int(service.calls().size());
        EXPECT_TRUE(batched.running());
        db.close(); // as the import does
    };

    EXPECT_TRUE(batched.RetourTimerTimer(ctx));

    EXPECT_EQ(sentBeforeWaiting, (QList<int>{3, 6}));
    ASSERT_EQ(service.calls().size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(eventStatus(db, 100 + i), 1);
        EXPECT_TRUE(service.calls()[size_t(i)].xml.contains(u"<messagetype>%1</messagetype>"_qs.arg(8 - i)))
            << "oldest first: " << i;
    }
    EXPECT_TRUE(log.isEmpty()) << qPrintable(log.join(u'\n'));
}

// Events the return-message query never yields stay pending and unsent: only an answer of the service marks an
// event. Each is said once when it starts waiting (a ride found gone at two ticks in a row) and once when it goes;
// a vehicle assigned late lets its event go out at the next tick.
TEST_F(RetourCycleTest, EventsThatCannotBeSentWaitUnsentAndGoOnceTheyCan)
{
    arrangeOutbox();
    addRide(db, 5, QVariant(), 5005);
    addEvent(db, 19, 5, 1, u"007"_qs, minute(0));   // its ride gets a vehicle later
    addEvent(db, 21, 998, 1, u"008"_qs, minute(0)); // another owner's: never touched
    service.setResponder([](const QString &) { return statusReply(u"200"_qs); });
    OperationContext ctx = context();
    QStringList lines;
    ctx.log = [&](LogLevel level, const QString &line) { lines << QString::number(int(level)) + u' ' + line; };
    const QString warning = QString::number(int(LogLevel::Warning)) + u' ';
    const QString noVehicle = u"wacht: rit %1 heeft nog geen wagen; de melding gaat zodra de rit een wagen heeft."_qs;

    CycleOutcome outcome;
    cycle.RetourTimerTimer(ctx, &outcome);
    expectUntouched();
    EXPECT_EQ(lines, (QStringList{warning + u"Retourmelding 16 "_qs + noVehicle.arg(3),
                                  warning + u"Retourmelding 17 "_qs + noVehicle.arg(4),
                                  warning + u"Retourmelding 19 "_qs + noVehicle.arg(5)}));
    EXPECT_EQ(outcome.eventsWaiting, 4);
    lines.clear();

    cycle.RetourTimerTimer(ctx);
    EXPECT_EQ(lines, QStringList{warning + u"Retourmelding 18 wacht: rit 999 bestaat niet (meer); de melding blijft "
                                           "staan (status 0) en wordt niet verzonden."_qs});
    lines.clear();

    db.exec(u"update planning set pla_wagen=1 where pla_id=5"_qs).finish();
    outcome = {};
    cycle.RetourTimerTimer(ctx, &outcome);
    EXPECT_EQ(eventStatus(db, 19), 1) << "sent once its ride had a vehicle";
    EXPECT_EQ(lines, QStringList{QString::number(int(LogLevel::Information)) + u" Retourmelding 19 wacht niet meer."_qs});
    EXPECT_EQ(outcome.eventsWaiting, 3);
    EXPECT_EQ(outcome.eventsPending, 3);
    lines.clear();

    const size_t sent = service.calls().size();
    for (int tick = 0; tick < 100; ++tick)
        cycle.RetourTimerTimer(ctx);
    expectUntouched();
    EXPECT_EQ(eventStatus(db, 21), 0);
    EXPECT_TRUE(lines.isEmpty()) << qPrintable(lines.join(u'\n'));
    EXPECT_EQ(service.calls().size(), sent);
    EXPECT_TRUE(log.isEmpty()) << qPrintable(log.join(u'\n'));
}

// The ride of an event may be written after the event (another connection, a transaction not yet visible): a ride
// found gone at one tick and there at the next keeps its event.
TEST_F(RetourCycleTest, ARideMissingAtOneTickOnlyKeepsItsEvent)
{
    addVehicle(db, 1, u"AB"_qs, 1);
    addEvent(db, 10, 1, 2, u"007"_qs, minute(0));
    service.setResponder([](const QString &) { return statusReply(u"200"_qs); });
    OperationContext ctx = context();
    cycle.RetourTimerTimer(ctx);
    addRide(db, 1, 1, 5001);
    cycle.RetourTimerTimer(ctx);
    EXPECT_EQ(eventStatus(db, 10), 1);
    EXPECT_TRUE(log.isEmpty()) << qPrintable(log.join(u'\n'));
}

TEST_F(RetourCycleTest, NoCopiesWhileBackupsAreOff)
{
    arrangeOutbox();
    controls.setChecked(Control::BackupsMaken, false);
    service.setResponder([](const QString &) { return statusReply(u"200"_qs); });
    OperationContext ctx = context();
    cycle.RetourTimerTimer(ctx);
    EXPECT_EQ(eventStatus(db, 10), 1);
    EXPECT_TRUE(dir.files(u"Ostrel/Backups/Uit"_qs).isEmpty());
}

TEST_F(RetourCycleTest, UnwritableCopyStopsBeforeSending)
{
    arrangeOutbox();
    ASSERT_TRUE(QDir(dir.folders().backupsUitDir).removeRecursively());
    service.setResponder([](const QString &) { return statusReply(u"200"_qs); });
    OperationContext ctx = context();
    EXPECT_THROW(cycle.RetourTimerTimer(ctx), FileError);
    EXPECT_TRUE(service.calls().empty());
    EXPECT_EQ(eventStatus(db, 11), 0);
}

// The service's answer is recorded even when its copy cannot be written: the event is marked once, the missing
// copy is one warning, and the next event goes out.
TEST_F(RetourCycleTest, AnAnswerWhoseCopyFailsIsKept)
{
    arrangeOutbox();
    const QString folder = dir.folders().backupsUitDir;
    int calls = 0;
    service.setResponder([&](const QString &) {
        // After the document's copy, before the answer's: the copy folder is gone, a file in its place.
        if (++calls == 1) {
            QDir(folder).removeRecursively();
            QFile blocker(folder);
            blocker.open(QIODevice::WriteOnly);
        }
        return statusReply(u"200"_qs);
    });
    OperationContext ctx = context();
    QStringList warnings;
    ctx.log = [&](LogLevel level, const QString &line) {
        if (level == LogLevel::Warning && line.contains(u"kopie"_qs))
            warnings << line;
    };

    EXPECT_THROW(cycle.RetourTimerTimer(ctx), FileError) << "the next document's copy cannot be written either";
    EXPECT_EQ(eventStatus(db, 11), 1);
    EXPECT_EQ(statusTransactions(db), QStringList{u"2:200"_qs});
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].startsWith(u"Retourmelding 11 is verwerkt (antwoord 200), maar de kopie van het antwoord "
                                       "is niet bewaard: "_qs))
        << warnings[0].toStdString();

    QFile::remove(folder);
    QDir().mkpath(folder);
    cycle.RetourTimerTimer(ctx);
    EXPECT_EQ(calls, 2) << "event 11 went out once, then event 10";
    EXPECT_EQ(eventStatus(db, 10), 1);
}

// On the embedded database no lock is held across the call: another program writes meanwhile without waiting. A
// claim that a killed run left behind does not hold its event: it goes out again.
TEST_F(RetourCycleTest, TheEmbeddedDatabaseIsFreeDuringTheCall)
{
    addVehicle(db, 1, u"AB"_qs, 1);
    addRide(db, 1, 1, 5001);
    addEvent(db, 10, 1, 2, u"007"_qs, minute(0));
    addEvent(db, 11, 1, 2, u"007"_qs, minute(1));
    QString writerError = u"niet geprobeerd"_qs;
    service.setResponder([&](const QString &) {
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_qs, u"andere-schrijver"_qs);
        other.setDatabaseName(db.sqlitePath());
        other.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=100"_qs);
        if (other.open()) {
            QSqlQuery q(other);
            writerError = q.exec(u"INSERT INTO Planning (pla_temp, pla_eigenaar) VALUES ('schrijver', 'X')"_qs)
                              ? QString()
                              : q.lastError().text();
            q.finish();
            q.exec(u"DELETE FROM Planning WHERE pla_temp='schrijver'"_qs);
            q.finish();
            other.close();
        }
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"andere-schrijver"_qs);
        return statusReply(u"200"_qs);
    });
    // A claim an earlier run left behind when it was killed in the middle of the call.
    const qint64 until = QDateTime::currentSecsSinceEpoch() + 3600;
    db.exec(u"INSERT INTO vorano_event_claims (kop_id, claimed_until, claimed_by) VALUES (11, ?, 'gestopt')"_qs,
            {until})
        .finish();
    OperationContext ctx = context();

    CycleOutcome outcome;
    cycle.RetourTimerTimer(ctx, &outcome);
    EXPECT_EQ(writerError, QString());
    EXPECT_EQ(eventStatus(db, 10), 1);
    EXPECT_EQ(eventStatus(db, 11), 1) << "an earlier run's claim does not hold the event";
    EXPECT_EQ(outcome.eventsPending, 0);
    EXPECT_EQ(service.calls().size(), 2u);
    QSqlQuery left = db.exec(u"SELECT COUNT(*) FROM vorano_event_claims"_qs);
    ASSERT_TRUE(left.next());
    EXPECT_EQ(left.value(0).toInt(), 0) << "a claim ends with the event's mark";
    left.finish();
}

} // namespace
