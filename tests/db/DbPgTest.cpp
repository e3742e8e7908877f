#include "base/VoranoError.h"
#include "base/WallDateTime.h"
#include "db/DatabaseTest.h"
#include "db/DispatchDb.h"
#include "feedback/LogTransactie.h"
#include "settings/MemoryControls.h"
#include "support/PgServer.h"
#include "support/TempProgramDir.h"

#include <QElapsedTimer>
#include <QSqlRecord>

#include <gtest/gtest.h>

namespace
{

// The dispatch database on a real PostgreSQL server, reached the way a site reaches it: QODBC with the
// psqlODBC driver "PostgreSQL Unicode".
class PgDb : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
        pg.applyTo(controls);
    }

    QString sql(const QString &statement)
    {
        bool ok = false;
        const QString out = pg.psql(statement, &ok);
        EXPECT_TRUE(ok) << out.toStdString();
        return out;
    }

    PgServer pg;
    TempProgramDir dir;
    MemoryControls controls;
    DispatchDb db{controls, dir.path()};
    QStringList log;
    ErrorHook logError = [this](const QString &m) { log << m; };
};

TEST_F(PgDb, OpensRunsStatementsAndReadsConstants)
{
    EXPECT_EQ(db.dialect().name(), QStringLiteral("PostgreSQL"));
    db.open();
    EXPECT_TRUE(db.isOpen());

    sql(QStringLiteral("insert into constanten values (12, 5), (3, null)"));
    struct Case {
        const char *bedrijf;
        int expected;
    };
    for (const Case &c : {Case{"12", 5}, Case{"12abc", 5}, Case{"3", 0}, Case{"abc", 0}, Case{"", 0}}) {
        controls.setText(Control::xBedrijf, QLatin1String(c.bedrijf));
        EXPECT_EQ(db.readCompanyConstant(), c.expected) << c.bedrijf;
    }

    // Date-times, decimals and Unicode text go in as parameters and come back unchanged; column names come
    // back folded to lower case.
    const QDateTime at(QDate(2015, 3, 31), QTime(7, 5, 9, 417));
    db.exec(QStringLiteral("insert into Planning (pla_temp, pla_datum, pla_bedrag, pla_tekst, pla_ETA) "
                           "values (?,?,?,?,?)"),
            {QStringLiteral("P2015033107050939417"), at, 12.5, QStringLiteral("Naam: Ærø ✓"), QDateTime()});
    QSqlQuery q =
        db.exec(QStringLiteral("select * from planning where pla_temp=?"), {QStringLiteral("P2015033107050939417")});
    ASSERT_TRUE(q.next());
    const QSqlRecord r = q.record();
    EXPECT_GT(q.value(r.indexOf(QStringLiteral("pla_id"))).toInt(), 0);
    EXPECT_EQ(DispatchDb::toDateTime(q.value(r.indexOf(QStringLiteral("pla_datum")))),
              WallDateTime(QDate(2015, 3, 31), QTime(7, 5, 9)));
    EXPECT_FALSE(DispatchDb::toDateTime(q.value(r.indexOf(QStringLiteral("PLA_ETA")))).isValid());
    EXPECT_DOUBLE_EQ(q.value(r.indexOf(QStringLiteral("pla_bedrag"))).toDouble(), 12.5);
    EXPECT_EQ(q.value(r.indexOf(QStringLiteral("pla_tekst"))).toString(), QStringLiteral("Naam: Ærø ✓"));
    q.finish();
    EXPECT_EQ(sql(QStringLiteral("select to_char(pla_datum, 'YYYY-MM-DD HH24:MI:SS') from planning")),
              QLatin1String("2015-03-31 07:05:09"));

    // The temporary key finds one ride only; a text too long for its column is refused.
    EXPECT_THROW(
        db.exec(QStringLiteral("insert into Planning (pla_temp) values (?)"), {QStringLiteral("P2015033107050939417")}),
        DatabaseError);
    try {
        db.exec(QStringLiteral("insert into Planning (pla_eigenaar) values (?)"), {QStringLiteral("0071")});
        ADD_FAILURE() << "a four-character owner code was stored";
    } catch (const DatabaseError &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("value too long"))) << e.message().toStdString();
    }
    // A rejected statement leaves the connection usable.
    EXPECT_TRUE(db.isOpen());
    EXPECT_EQ(db.exec(QStringLiteral("select count(*) from Planning")).next(), true);
}

TEST_F(PgDb, LogTransactieWritesRowsWithTheRemarkUnchangedAndLogsFailures)
{
    const QList<std::pair<QString, QString>> cases = {
        {QStringLiteral("12abc"), QStringLiteral("O'Brien'); DROP TABLE transacties; --")},
        {QStringLiteral(""), QStringLiteral("")},
        {QStringLiteral("3"), QStringLiteral("200")},
    };
    for (const auto &[gebruiker, remark] : cases) {
        controls.setText(Control::Gebruiker, gebruiker);
        LogTransactie(db, controls, logError, 0, 4711, 0, 0, kTransactieStatusAntwoord, remark);
    }
    EXPECT_TRUE(log.isEmpty()) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(sql(QStringLiteral("select tra_gebruiker, tra_ritstaat, tra_rit, tra_wagen, tra_chauffeur, tra_code, "
                                 "coalesce(tra_opmerking, 'NULL') from transacties order by tra_id")),
              QStringLiteral("12|0|4711|0|0|94|O'Brien'); DROP TABLE transacties; --\n"
                             "0|0|4711|0|0|94|\n"
                             "3|0|4711|0|0|94|200"));

    // A value the column does not take: no row, one log line, no exception.
    LogTransactie(db, controls, logError, 0, 4712, 0, 0, kTransactieNieuweRit, QString(300, QLatin1Char('x')));
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log.first().contains(QLatin1String("value too long"))) << log.first().toStdString();
    EXPECT_EQ(sql(QStringLiteral("select count(*) from transacties where tra_rit=4712")), QLatin1String("0"));
}

TEST_F(PgDb, DatabaseTestWithGoodAndBadSettings)
{
    QStringList boxes;
    DatabaseTest test(db, [&](const QString &title, const QString &text) { boxes << title + QLatin1Char('|') + text; });
    test.run();
    EXPECT_EQ(boxes,
              QStringList{QStringLiteral("Database koppeling|Taxis Vorano SQL werd database met succes geopend")});
    EXPECT_FALSE(db.isOpen());

    struct Case {
        const char *what;
        Control control;
        QString value;
        const char *expected; // part of the driver's message
    };
    const QList<Case> cases = {
        {"wrong password", Control::xPaswoordSQL, QStringLiteral("fout"), "password authentication failed"},
        {"unknown database", Control::xLoginDatabase, QStringLiteral("bestaatniet"), "bestaatniet"},
        {"nothing listening", Control::xLoginServer, QStringLiteral("127.0.0.1,1"), "onnect"},
    };
    for (const Case &c : cases) {
        pg.applyTo(controls);
        controls.setText(c.control, c.value);
        try {
            test.run();
            ADD_FAILURE() << c.what << ": opened";
        } catch (const DatabaseError &e) {
            EXPECT_TRUE(e.message().contains(QLatin1String(c.expected))) << c.what << ": " << e.message().toStdString();
        }
        EXPECT_FALSE(db.isOpen()) << c.what;
    }
    EXPECT_EQ(boxes.size(), 1);

    // The settings are read again at every opening: the good ones work again without a restart.
    pg.applyTo(controls);
    test.run();
    EXPECT_EQ(boxes.size(), 2);
}

// Passwords with the characters that break a connection string: quoted, they reach the server unchanged.
TEST_F(PgDb, PasswordsWithSeparatorsReachTheServer)
{
    for (const QString &password :
         {QStringLiteral("a;b=c"), QStringLiteral("{begin"), QStringLiteral("a;b}c}"), QStringLiteral("x}y")}) {
        QString literal = password;
        literal.replace(QLatin1String("'"), QLatin1String("''"));
        bool ok = false;
        const QString out = pg.psqlAdmin(QStringLiteral("ALTER ROLE vorano PASSWORD '%1'").arg(literal), &ok);
        ASSERT_TRUE(ok) << out.toStdString();
        controls.setText(Control::xPaswoordSQL, password);
        db.close();
        EXPECT_NO_THROW(db.open()) << password.toStdString();
    }
}

// Another program holds a lock on the table: the statement gives up after the statement time-out with the
// driver's message instead of blocking the program, and the connection stays usable.
TEST_F(PgDb, AStatementBlockedByALockEndsAfterTheStatementTimeOut)
{
    DispatchDb other(controls, dir.path(), QStringLiteral("dispatch-product"));
    ASSERT_TRUE(other.connection().transaction());
    other.exec(QStringLiteral("LOCK TABLE wagens IN ACCESS EXCLUSIVE MODE")).finish();

    db.setStatementTimeout(2);
    QElapsedTimer t;
    t.start();
    try {
        db.exec(QStringLiteral("update wagens set wag_taxis=1"));
        ADD_FAILURE() << "the update went through a lock";
    } catch (const DatabaseError &e) {
        std::cout << "blocked statement ended after " << t.elapsed() << " ms: " << e.message().toStdString() << "\n";
        EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_TRUE(other.connection().rollback());
    EXPECT_NO_THROW(db.exec(QStringLiteral("update wagens set wag_taxis=1")).finish());
}

TEST_F(PgDb, AServerThatWentAwayFailsOnceAndTheNextUseReconnects)
{
    sql(QStringLiteral("insert into wagens values (1, 'AB-12-CD', 7)"));
    EXPECT_EQ(db.exec(QStringLiteral("select wag_taxis from wagens")).next(), true);
    ASSERT_TRUE(pg.stop());
    ASSERT_TRUE(pg.start()) << pg.serverLog().toStdString();

    // The old connection is dead: the next use fails with the driver's message ...
    try {
        db.exec(QStringLiteral("select wag_taxis from wagens"));
        ADD_FAILURE() << "a statement on a dropped connection succeeded";
    } catch (const DatabaseError &e) {
        EXPECT_FALSE(e.message().isEmpty());
    }
    // ... and the one after it opens a new connection.
    QSqlQuery q = db.exec(QStringLiteral("select wag_taxis from wagens"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 7);
    q.finish();

    // With the server down, opening fails with a message and nothing hangs.
    db.close();
    ASSERT_TRUE(pg.stop());
    EXPECT_THROW(db.open(), DatabaseError);
    LogTransactie(db, controls, logError, 0, 1, 0, 0, kTransactieNieuweRit, QStringLiteral("1"));
    EXPECT_EQ(log.size(), 1);
}

} // namespace
