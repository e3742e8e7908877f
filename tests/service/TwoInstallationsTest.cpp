// Two installations (two data folders) against one dispatch database and one service: only the one that holds the
// database for its owner code works; the other says so in one line, names the holder, and waits for it to stop.
#include "service/LinkService.h"

#include "OstrelSim.h"
#include "base/AbortToken.h"
#include "db/DispatchDb.h"
#include "service/ServiceWiring.h"
#include "service/SettingsCheck.h"
#include "support/PgServer.h"
#include "support/TestNetwork.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

constexpr int kTrips = 12;
const QString kRefused = QStringLiteral("in gebruik bij een andere installatie");

// One installation: its data folder with its settings file, and its link service once started.
struct Installation {
    QTemporaryDir dir;
    AbortToken stop; // its own: a stop of one installation is not the other's
    QStringList errors;
    QStringList lines;
    std::unique_ptr<LinkService> service;

    void writeSettings(const QByteArray &elements)
    {
        QFile f(dir.filePath(QStringLiteral("VoranotoOstrel.xml")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n" + elements +
                "  </Hoofdscherm>\r\n</Configuration>\r\n");
    }

    void start()
    {
        ServiceSetup setup;
        setup.programFile = dir.filePath(QStringLiteral("VoranoOstrel"));
        setup.startTimers = false;
        setup.stopToken = &stop;
        service = std::make_unique<LinkService>(WireServiceOperations(TestLinks(stop)), setup);
        QObject::connect(service.get(), &LinkService::logLine, service.get(),
                         [this](int level, const QString &line, bool) {
                             lines << line.mid(18);
                             if (LogLevel(level) == LogLevel::Error)
                                 errors << line.mid(18);
                         });
        service->start();
    }

    // A retrieval and a return tick, waited for.
    void tick()
    {
        service->timers().controleTick();
        settle();
        service->timers().retourTimerTick();
        settle();
    }

    void settle()
    {
        const QDeadlineTimer deadline(60000);
        while (service->worker().busy() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    QString name() const { return DispatchDb::installationName(dir.path()); }
};

class TwoInstallations : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
        OstrelSim::TripGeneration trips;
        trips.count = kTrips;
        sim.setGeneratedTrips(trips);
    }

    QByteArray settings(const QByteArray &database) const
    {
        return database + "    <xSoapServer_Text>" + sim.url().toUtf8() +
               "</xSoapServer_Text>\r\n"
               "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n    <xVerwerken_Checked>TRUE</xVerwerken_Checked>\r\n"
               "    <xBevestigen_Checked>TRUE</xBevestigen_Checked>\r\n    <xBezet_Checked>TRUE</xBezet_Checked>\r\n";
    }

    int retrievals() const
    {
        int n = 0;
        for (const OstrelSim::Request &r : sim.requests())
            n += r.action == QLatin1String("RetrieveTrips") ? 1 : 0;
        return n;
    }

    // Both installations work on the same database: the first holds it, the second runs no cycle and says so once
    // (also at its --check), and takes over when the first stops. `rides` counts the rides per trip number.
    void run(const std::function<QList<QPair<int, int>>()> &rides)
    {
        first.start();
        second.start();
        for (int round = 0; round < 3; ++round) {
            first.tick();
            second.tick();
        }
        EXPECT_TRUE(first.errors.isEmpty()) << first.errors.join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(second.errors.size(), 1) << second.errors.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(second.errors.first().contains(kRefused)) << second.errors.first().toStdString();
        EXPECT_TRUE(second.errors.first().contains(first.name())) << second.errors.first().toStdString();
        EXPECT_EQ(retrievals(), 3) << "the second installation asks the service for nothing";

        // --check in the second folder says who holds the database; in the first folder it is the program there.
        EXPECT_EQ(CheckSettings(second.dir.path(), TestNetwork()).problems.filter(kRefused).size(), 1);
        EXPECT_TRUE(CheckSettings(first.dir.path(), TestNetwork()).problems.filter(kRefused).isEmpty());

        first.service->stop(QStringLiteral("test"));
        first.settle();
        first.service.reset();
        second.tick();
        second.tick();
        EXPECT_EQ(second.errors.size(), 1) << second.errors.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(second.lines.filter(QStringLiteral("De database is vrijgegeven")).size(), 1);
        EXPECT_EQ(retrievals(), 5);

        const QList<QPair<int, int>> perTrip = rides();
        EXPECT_EQ(perTrip.size(), kTrips);
        for (const auto &[trip, count] : perTrip)
            EXPECT_EQ(count, 1) << "trip " << trip;
    }

    OstrelSim sim;
    Installation first;
    Installation second;
};

TEST_F(TwoInstallations, OnOneSqliteDatabaseOnlyOneWorks)
{
    QTemporaryDir shared;
    const QString file = shared.filePath(QStringLiteral("dispatch.sqlite"));
    const QByteArray database = "    <xLoginDriver_Text>SQLite</xLoginDriver_Text>\r\n    <xLoginDatabase_Text>" +
                                file.toUtf8() + "</xLoginDatabase_Text>\r\n";
    first.writeSettings(settings(database));
    second.writeSettings(settings(database));
    run([&] {
        QList<QPair<int, int>> out;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
            db.setDatabaseName(file);
            EXPECT_TRUE(db.open());
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT pla_extern_ritnummer, count(*) FROM planning GROUP BY 1"));
            while (q.next())
                out << qMakePair(q.value(0).toInt(), q.value(1).toInt());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("count"));
        return out;
    });
}

TEST_F(TwoInstallations, OnOnePostgreSqlDatabaseOnlyOneWorks)
{
    PgServer pg;
    ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
    const QByteArray database = "    <xLoginDriver_Text>" + PgServer::odbcDriver().toUtf8() +
                                "</xLoginDriver_Text>\r\n    <xLoginServer_Text>" + pg.server().toUtf8() +
                                "</xLoginServer_Text>\r\n    <xLoginDatabase_Text>" + pg.database().toUtf8() +
                                "</xLoginDatabase_Text>\r\n    <xLoginSQL_Text>" + pg.user().toUtf8() +
                                "</xLoginSQL_Text>\r\n    <xPaswoordSQL_Text>" + pg.password().toUtf8() +
                                "</xPaswoordSQL_Text>\r\n";
    first.writeSettings(settings(database));
    second.writeSettings(settings(database));
    run([&] {
        QList<QPair<int, int>> out;
        const QString rows = pg.psql(QStringLiteral("SELECT pla_extern_ritnummer, count(*) FROM planning GROUP BY 1"));
        for (const QString &row : rows.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            out << qMakePair(row.section(QLatin1Char('|'), 0, 0).toInt(), row.section(QLatin1Char('|'), 1, 1).toInt());
        return out;
    });
}

} // namespace
