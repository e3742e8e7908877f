// Event moments leave in the status documents as the dispatch product stored them, whatever the zone of the
// machine: these tests run once under Europe/Amsterdam and once under UTC, on the embedded database and on
// PostgreSQL over ODBC.
#include "feedback/RetourCycle.h"

#include "OutboxRows.h"
#include "base/Clock.h"
#include "base/EventPump.h"
#include "base/OperationContext.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "link/TextList.h"
#include "settings/MemoryControls.h"
#include "support/PgServer.h"
#include "support/ScriptedService.h"
#include "support/TempProgramDir.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <memory>

using namespace OutboxRows;

namespace
{

class NoPump : public EventPump
{
  public:
    void processEvents() override {}
};

struct MomentCase {
    const char *name;
    const char *stored; // kop_datumtijd as the dispatch product writes it
    const char *sent;   // <datetime> of the SendStatus document
};

const MomentCase kMoments[] = {
    {"skipped hour", "2026-03-29 02:30:00", "20260329023000"},
    {"repeated hour", "2026-10-25 02:30:00", "20261025023000"},
    {"midnight", "2026-03-29 00:00:00", "20260329000000"},
    {"year end", "2026-12-31 23:59:59", "20261231235959"},
    {"zero date", "1899-12-30 00:00:00", "18991230000000"},
};

class WallClockRetour : public ::testing::TestWithParam<bool /* PostgreSQL */>
{
  protected:
    void SetUp() override
    {
        controls.setText(Control::xLoginDriver, QStringLiteral("SQLite"));
        if (GetParam()) {
            pg = std::make_unique<PgServer>();
            ASSERT_TRUE(pg->ok()) << pg->error().toStdString();
            pg->applyTo(controls);
        }
        controls.setChecked(Control::xBezet, true);
        controls.setText(Control::Eigenaar, QStringLiteral("007"));
        controls.setText(Control::xSoapServer, QStringLiteral("http://127.0.0.1:9/_external/external.cfc"));
        service.setResponder([](const QString &) { return QStringLiteral("<kwp><status>200</status></kwp>"); });
        addVehicle(db, 1, QStringLiteral("12-ABC-3"), 17);
    }

    OperationContext context()
    {
        return OperationContext{controls, service.factory(), db,         pump,
                                clock,    dir.folders(),     resultList, [this](const QString &m) { log << m; }};
    }

    // An event whose moment is written by the database from a text literal, as the dispatch product does.
    void addEventAt(int id, int ride, int type, const char *moment)
    {
        db.exec(QStringLiteral("insert into koppelingen (kop_id, kop_pla_id, kop_type, kop_status, kop_eigenaar, "
                               "kop_datumtijd, kop_latitude, kop_longitude) values (?, ?, ?, 0, '007', '%1', 0, 0)")
                    .arg(QLatin1String(moment)),
                {id, ride, type})
            .finish();
    }

    // The document sent for a trip number.
    QString sentFor(int tripNumber) const
    {
        const QString id = QStringLiteral("<id>%1</id>").arg(tripNumber);
        for (const ScriptedService::Call &call : service.calls()) {
            if (call.xml.contains(id))
                return call.xml;
        }
        return {};
    }

    std::unique_ptr<PgServer> pg;
    MemoryControls controls;
    ScriptedService service;
    TempProgramDir dir;
    DispatchDb db{controls, dir.path()};
    NoPump pump;
    SystemClock clock;
    TextList resultList;
    QStringList log;
    RetourCycle cycle;
};

TEST_P(WallClockRetour, EventMomentsAreSentAsStored)
{
    for (int i = 0; i < int(std::size(kMoments)); ++i) {
        addRide(db, i + 1, 1, 5000 + i);
        addEventAt(10 + i, i + 1, 1, kMoments[i].stored);
    }
    // The final report of a ride whose times lie in the skipped and in the repeated hour.
    addRide(db, 20, 1, 5020);
    db.exec(QStringLiteral("update Planning set pla_tijdstip_bestemmen='2026-03-29 02:15:00', "
                           "pla_tijdstip_vrijmelden='2026-10-25 02:45:00' where pla_id=20"))
        .finish();
    addEventAt(30, 20, 0, "2026-10-25 03:00:00");

    OperationContext ctx = context();
    EXPECT_TRUE(cycle.RetourTimerTimer(ctx));

    EXPECT_TRUE(log.isEmpty()) << qPrintable(log.join(u'\n'));
    for (int i = 0; i < int(std::size(kMoments)); ++i) {
        EXPECT_TRUE(
            sentFor(5000 + i).contains(QStringLiteral("<datetime>%1</datetime>").arg(QLatin1String(kMoments[i].sent))))
            << kMoments[i].name << ": " << sentFor(5000 + i).toStdString();
        EXPECT_EQ(eventStatus(db, 10 + i), 1) << kMoments[i].name;
    }
    EXPECT_TRUE(
        sentFor(5020).contains(QStringLiteral("<realFromDateTime>20260329021500</realFromDateTime>"
                                              "<realDestinationDateTime>20261025024500</realDestinationDateTime>"
                                              "<realArrivalAtFromDateTime>20260329021500"
                                              "</realArrivalAtFromDateTime>")))
        << sentFor(5020).toStdString();
    EXPECT_EQ(eventStatus(db, 30), 1);
}

INSTANTIATE_TEST_SUITE_P(Dialects, WallClockRetour, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? std::string("PostgreSqlOverOdbc") : std::string("SQLite");
                         });

TEST(WallClockRetourSqlite, AMomentThatIsNoDateTimeEndsTheTickAtItsRow)
{
    // Text columns of the embedded database can hold anything; such a value is never sent as the zero date.
    MemoryControls controls;
    controls.setText(Control::xLoginDriver, QStringLiteral("SQLite"));
    controls.setChecked(Control::xBezet, true);
    controls.setText(Control::Eigenaar, QStringLiteral("007"));
    ScriptedService service;
    service.setResponder([](const QString &) { return QStringLiteral("<kwp><status>200</status></kwp>"); });
    TempProgramDir dir;
    DispatchDb db(controls, dir.path());
    NoPump pump;
    SystemClock clock;
    TextList resultList;
    QStringList log;
    RetourCycle cycle;
    OperationContext ctx{controls, service.factory(), db,         pump,
                         clock,    dir.folders(),     resultList, [&](const QString &m) { log << m; }};
    addVehicle(db, 1, QStringLiteral("12-ABC-3"), 17);
    addRide(db, 1, 1, 5001);
    addRide(db, 2, 1, 5002);
    db.exec(QStringLiteral("insert into koppelingen (kop_id, kop_pla_id, kop_type, kop_status, kop_eigenaar, "
                           "kop_datumtijd) values (10, 1, 1, 0, '007', '2026-03-29 02:30:00'), "
                           "(11, 2, 1, 0, '007', 'gisteren')"))
        .finish();

    try {
        cycle.RetourTimerTimer(ctx);
        ADD_FAILURE() << "no error";
    } catch (const ConversionError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'gisteren' is not a valid date and time for field 'kop_datumtijd'"));
    }
    ASSERT_EQ(service.calls().size(), 1u);
    EXPECT_EQ(eventStatus(db, 10), 1);
    EXPECT_EQ(eventStatus(db, 11), 0);
}

} // namespace
