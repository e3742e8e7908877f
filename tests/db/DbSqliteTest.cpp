#include "base/AbortToken.h"
#include "base/VoranoError.h"
#include "base/WallDateTime.h"
#include "db/DatabaseTest.h"
#include "db/DbScript.h"
#include "db/DispatchDb.h"
#include "db/PlanningColumns.h"
#include "feedback/LogTransactie.h"
#include "settings/MemoryControls.h"
#include "support/TempProgramDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace
{

class SqliteDb : public ::testing::Test
{
  protected:
    SqliteDb() { controls.setText(Control::xLoginDriver, QStringLiteral("SQLite")); }

    QVariant scalar(const QString &sql, const QVariantList &params = {})
    {
        QSqlQuery q = db.exec(sql, params);
        return q.next() ? q.value(0) : QVariant();
    }

    TempProgramDir dir;
    MemoryControls controls;
    DispatchDb db{controls, dir.path()};
    QStringList log;
    ErrorHook logError = [this](const QString &m) { log << m; };
};

// The embedded database file as it lies under the program folder, and what the connection may do with it.
class SqliteFile : public SqliteDb
{
  protected:
    SqliteFile() { db.setLog(logError); }
    QString path() const { return dir.path() + QStringLiteral("/Vorano/dispatch.sqlite"); }
    int rides() { return scalar(QStringLiteral("select count(*) from Planning")).toInt(); }
    void addRide() { db.exec(QStringLiteral("insert into Planning (pla_extern) values (1)")).finish(); }
    QString goneMessage() const
    {
        return QStringLiteral("Databasebestand %1 is verdwenen; er wordt geen lege database voor in de plaats "
                              "gemaakt.")
            .arg(QDir::toNativeSeparators(path()));
    }
};

TEST_F(SqliteFile, AMissingFileIsCreatedOnceWithOneLogLine)
{
    // A creation that was interrupted earlier left its unfinished file behind: it is not the database.
    QDir().mkpath(dir.path() + QStringLiteral("/Vorano"));
    {
        QFile left(path() + QStringLiteral(".nieuw"));
        ASSERT_TRUE(left.open(QIODevice::WriteOnly));
        left.write("half");
    }
    addRide();
    EXPECT_EQ(log, QStringList{QStringLiteral("Databasebestand %1 bestond niet en is nieuw aangemaakt.")
                                   .arg(QDir::toNativeSeparators(path()))});
    EXPECT_FALSE(QFileInfo::exists(path() + QStringLiteral(".nieuw")));
    db.close();
    addRide();
    EXPECT_EQ(rides(), 2);
    EXPECT_EQ(log.size(), 1) << "an existing file is opened without a word";
}

// A file that existed earlier in the run and is gone: every use is an error, nothing takes its place, and the
// file put back is used again.
TEST_F(SqliteFile, AFileThatWentAwayIsAnErrorUntilItIsBack)
{
    for (const bool openWhenDeleted : {true, false}) {
        SCOPED_TRACE(openWhenDeleted ? "deleted under the open connection" : "deleted while closed");
        addRide();
        const int before = rides();
        if (!openWhenDeleted)
            db.close();
        const QString kept = path() + QStringLiteral(".bewaard");
        QFile::remove(kept);
        ASSERT_TRUE(QFile::copy(path(), kept));
        ASSERT_TRUE(QFile::remove(path()));
        log.clear();
        for (int use = 0; use < 2; ++use) {
            try {
                addRide();
                ADD_FAILURE() << "a ride was stored without the database file";
            } catch (const DatabaseError &e) {
                EXPECT_EQ(e.message(), goneMessage());
            }
            EXPECT_FALSE(db.isOpen());
            EXPECT_FALSE(QFileInfo::exists(path()));
        }
        EXPECT_TRUE(log.isEmpty()) << log.join(QLatin1Char('|')).toStdString();
        ASSERT_TRUE(QFile::rename(kept, path()));
        addRide();
        EXPECT_EQ(rides(), before + 1);
    }
}

TEST_F(SqliteFile, AFileEmptiedAfterItWasUsedIsAnError)
{
    addRide();
    db.close();
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.close();
    EXPECT_THROW(addRide(), DatabaseError);
    EXPECT_EQ(QFileInfo(path()).size(), 0);
}

// A file replaced under the open connection (restored from a backup, say): the old connection can no longer
// write and is closed by its failed statement, so the next use works on the file that is there now.
TEST_F(SqliteFile, AStatementFailingOnTheConnectionClosesIt)
{
    addRide();
    const QString copy = path() + QStringLiteral(".kopie");
    ASSERT_TRUE(QFile::copy(path(), copy));
    ASSERT_TRUE(QFile::remove(path()));
    ASSERT_TRUE(QFile::rename(copy, path()));
    ASSERT_TRUE(db.isOpen());
    EXPECT_THROW(addRide(), DatabaseError);
    EXPECT_FALSE(db.isOpen());
    addRide();
    EXPECT_EQ(rides(), 2);

    // A statement the database refuses leaves a working connection open.
    EXPECT_THROW(db.exec(QStringLiteral("select * from geen_tabel")), DatabaseError);
    EXPECT_TRUE(db.isOpen());
}

TEST_F(SqliteDb, MissingFileIsCreatedWithTheSchemaUnderTheProgramFolder)
{
    EXPECT_TRUE(db.dialect().embedded());
    EXPECT_FALSE(db.isOpen());
    db.open();
    EXPECT_TRUE(db.isOpen());
    EXPECT_TRUE(QFileInfo::exists(dir.path() + QStringLiteral("/Vorano/dispatch.sqlite")));
    for (const char *table :
         {"Planning", "constanten", "InterneActies", "TRANSACTIES", "koppelingen", "wagens", "ExterneBronnen"})
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from ") + QLatin1String(table)).toInt(), 0) << table;
    db.close();
    EXPECT_FALSE(db.isOpen());

    // A relative name, with Windows separators, and a file that exists: opened as it is.
    controls.setText(Control::xLoginDatabase, QStringLiteral("data\\andere.sqlite"));
    db.exec(QStringLiteral("insert into wagens (wag_id, wag_kenteken, wag_taxis) values (7, 'AB-12-CD', 12)"));
    db.close();
    EXPECT_TRUE(QFileInfo::exists(dir.path() + QStringLiteral("/data/andere.sqlite")));
    EXPECT_EQ(scalar(QStringLiteral("select wag_taxis from wagens where wag_id=7")).toInt(), 12);
}

TEST_F(SqliteDb, TwoConnectionsMadeBeforeEitherOpensStayApart)
{
    MemoryControls otherControls;
    otherControls.setText(Control::xLoginDriver, QStringLiteral("SQLite"));
    otherControls.setText(Control::xLoginDatabase, QStringLiteral("ander.sqlite"));
    DispatchDb other(otherControls, dir.path());
    db.exec(QStringLiteral("insert into wagens (wag_id) values (1)"));
    other.exec(QStringLiteral("insert into wagens (wag_id) values (2)"));
    EXPECT_EQ(scalar(QStringLiteral("select sum(wag_id) from wagens")).toInt(), 1);
    QSqlQuery q = other.exec(QStringLiteral("select sum(wag_id) from wagens"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 2);
}

TEST_F(SqliteDb, AnEmptyFileGetsTheSchema)
{
    QDir().mkpath(dir.path() + QStringLiteral("/Vorano"));
    QFile f(dir.path() + QStringLiteral("/Vorano/dispatch.sqlite"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from Planning")).toInt(), 0);
}

TEST_F(SqliteDb, PlanningColumnsMatchTheDeclaredTable)
{
    QSqlQuery q = db.exec(QStringLiteral("select name, type from pragma_table_info('Planning') order by cid"));
    int i = 0;
    const QList<PlanningColumn> &columns = planningColumns();
    while (q.next()) {
        ASSERT_LT(i, columns.size());
        const PlanningColumn &c = columns.at(i++);
        EXPECT_EQ(q.value(0).toString(), QLatin1String(c.name));
        const QString type = q.value(1).toString();
        switch (c.type) {
        case ColumnType::Text:
            EXPECT_EQ(type, QStringLiteral("VARCHAR(%1)").arg(c.width)) << c.name;
            break;
        case ColumnType::Decimal:
        case ColumnType::Coordinate:
            EXPECT_EQ(type, QLatin1String("REAL")) << c.name;
            break;
        case ColumnType::DateTime:
            EXPECT_EQ(type, QLatin1String("DATETIME")) << c.name;
            break;
        default:
            EXPECT_TRUE(type == QLatin1String("INTEGER") || type == QLatin1String("TEXT")) << c.name;
        }
    }
    EXPECT_EQ(i, columns.size());
    EXPECT_EQ(planningTextWidth(QStringLiteral("PLA_BESTNUMMERTOE")), 6);
    EXPECT_EQ(planningTextWidth(QStringLiteral("pla_tekst")), 0);
    EXPECT_EQ(fitPlanningText(QStringLiteral("pla_eigenaar"), QStringLiteral("00712")), QLatin1String("007"));
}

// The three scripts declare the same Planning columns with the same widths.
TEST(SchemaScripts, DeclareEveryPlanningColumnWithItsWidth)
{
    for (const char *file : {"sqlite.sql", "postgresql.sql", "mssql.sql"}) {
        QFile f(QStringLiteral(VORANO_SOURCE_DIR "/db/") + QLatin1String(file));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << file;
        const QString script = QString::fromUtf8(f.readAll());
        const QStringList statements = splitSqlScript(script);
        QString planning;
        for (const QString &s : statements)
            if (s.startsWith(QLatin1String("CREATE TABLE Planning")))
                planning = s;
        ASSERT_FALSE(planning.isEmpty()) << file;
        const QStringList lines = planning.split(QLatin1Char('\n')).mid(1);
        int i = 0;
        for (const QString &line : lines) {
            const QString name = line.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
            if (!name.startsWith(QLatin1String("pla_")))
                continue;
            ASSERT_LT(i, planningColumns().size()) << file;
            const PlanningColumn &c = planningColumns().at(i++);
            EXPECT_EQ(name, QLatin1String(c.name)) << file;
            if (c.type == ColumnType::Text) {
                EXPECT_TRUE(line.contains(QStringLiteral("archar(%1)").arg(c.width), Qt::CaseInsensitive))
                    << file << " " << c.name;
            }
        }
        EXPECT_EQ(i, planningColumns().size()) << file;
        for (const char *table :
             {"constanten", "InterneActies", "TRANSACTIES", "koppelingen", "wagens", "ExterneBronnen"})
            EXPECT_TRUE(script.contains(QLatin1String("CREATE TABLE ") + QLatin1String(table))) << file << table;
    }
}

TEST_F(SqliteDb, RowsStoreDateTimesAsSqliteTextAndTheTemporaryKeyIsUnique)
{
    const QDateTime at(QDate(2015, 3, 31), QTime(7, 5, 9, 417));
    db.exec(QStringLiteral("insert into Planning (pla_temp, pla_datum, pla_bedrag, pla_tekst) values (?,?,?,?)"),
            {QStringLiteral("P2015033107050939417"), at, 12.5, QStringLiteral("Naam: Ærø ✓")});
    EXPECT_EQ(scalar(QStringLiteral("select pla_datum from Planning")).toString(),
              QLatin1String("2015-03-31 07:05:09"));
    EXPECT_EQ(scalar(QStringLiteral("select typeof(pla_datum) from Planning")).toString(), QLatin1String("text"));
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from Planning where pla_datum = datetime('2015-03-31 07:05:09')"))
                  .toInt(),
              1);
    EXPECT_EQ(DispatchDb::toDateTime(scalar(QStringLiteral("select pla_datum from Planning"))),
              WallDateTime(QDate(2015, 3, 31), QTime(7, 5, 9)));
    EXPECT_EQ(scalar(QStringLiteral("select pla_tekst from Planning")).toString(), QStringLiteral("Naam: Ærø ✓"));
    EXPECT_EQ(
        scalar(QStringLiteral("select pla_id from Planning where pla_temp=?"), {QStringLiteral("P2015033107050939417")})
            .toInt(),
        1);

    // A second ride with the same key is refused instead of making the lookup ambiguous.
    EXPECT_THROW(
        db.exec(QStringLiteral("insert into Planning (pla_temp) values (?)"), {QStringLiteral("P2015033107050939417")}),
        DatabaseError);
    // Rows without a key (written by other programs) are no conflict.
    db.exec(QStringLiteral("insert into Planning (pla_status) values ('W')"));
    db.exec(QStringLiteral("insert into Planning (pla_status) values ('W')"));
    // A text longer than its column is refused, as on SQL Server.
    EXPECT_THROW(db.exec(QStringLiteral("insert into Planning (pla_eigenaar) values (?)"), {QStringLiteral("0071")}),
                 DatabaseError);
    // A NULL date-time binds as NULL.
    db.exec(QStringLiteral("update Planning set pla_datum=? where pla_id=1"), {QDateTime()});
    EXPECT_FALSE(
        DispatchDb::toDateTime(scalar(QStringLiteral("select pla_datum from Planning where pla_id=1"))).isValid());
}

TEST(DispatchDbDates, ReadsEveryDriversFormAsTheWallTime)
{
    const QDateTime at = WallDateTime(QDate(2015, 3, 31), QTime(7, 5, 9));
    EXPECT_EQ(DispatchDb::toDateTime(QStringLiteral("2015-03-31 07:05:09")), at);
    EXPECT_EQ(DispatchDb::toDateTime(QStringLiteral("2015-03-31T07:05:09.000")), at);
    EXPECT_EQ(DispatchDb::toDateTime(QVariant(QDateTime(QDate(2015, 3, 31), QTime(7, 5, 9)))), at);
    EXPECT_EQ(DispatchDb::toDateTime(QVariant(QDate(2015, 3, 31))), WallDateTime(QDate(2015, 3, 31), QTime(0, 0)));
    EXPECT_FALSE(DispatchDb::toDateTime(QVariant()).isValid());
    EXPECT_FALSE(DispatchDb::toDateTime(QStringLiteral("")).isValid());
    // A value that is no date-time is an error, never a missing value.
    try {
        DispatchDb::toDateTime(QStringLiteral("gisteren"), QStringLiteral("kop_datumtijd"));
        ADD_FAILURE() << "no error";
    } catch (const ConversionError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'gisteren' is not a valid date and time for field 'kop_datumtijd'"));
    }
    EXPECT_THROW(DispatchDb::toDateTime(QStringLiteral("2015-02-30 10:00:00")), ConversionError);
}

TEST_F(SqliteDb, CompanyConstantFollowsTheLeadingDigitsOfBedrijf)
{
    db.exec(QStringLiteral("insert into constanten (con_bdr_id, con_aanvraag_verzenden) values (12, 5)"));
    db.exec(QStringLiteral("insert into constanten (con_bdr_id, con_aanvraag_verzenden) values (0, null)"));
    struct Case {
        const char *bedrijf;
        int expected;
    };
    for (const Case &c : {Case{"12", 5}, Case{"12abc", 5}, Case{"1", 0}, Case{"abc", 0}, Case{"", 0}}) {
        controls.setText(Control::xBedrijf, QLatin1String(c.bedrijf));
        EXPECT_EQ(db.readCompanyConstant(), c.expected) << c.bedrijf;
    }
}

// Whether a column exists is asked of the database once, not for every trip: a column dropped under the open
// connection still counts until the connection is told to forget (a new reply), or its settings change.
TEST_F(SqliteDb, AColumnIsLearnedOnceUntilForgotten)
{
    const QString planning = QStringLiteral("Planning");
    const QString column = QLatin1String(kCancelledColumn);
    EXPECT_TRUE(db.hasColumn(planning, column));
    EXPECT_FALSE(db.hasColumn(planning, QStringLiteral("pla_bestaat_niet")));
    db.exec(QStringLiteral("ALTER TABLE Planning DROP COLUMN %1").arg(column)).finish();
    EXPECT_TRUE(db.hasColumn(planning, column)) << "asked again";
    db.forgetColumns();
    EXPECT_FALSE(db.hasColumn(planning, column));
    EXPECT_TRUE(db.isOpen()) << "a missing column is no lost connection";

    // Another database file is another database: its columns are its own.
    db.exec(QStringLiteral("ALTER TABLE Planning ADD COLUMN %1 INTEGER").arg(column)).finish();
    EXPECT_FALSE(db.hasColumn(planning, column));
    db.close();
    controls.setText(Control::xLoginDatabase, QStringLiteral("Vorano/ander.sqlite"));
    EXPECT_TRUE(db.hasColumn(planning, column));
}

TEST_F(SqliteDb, LogTransactieWritesOneRowWithTheRemarkUnchanged)
{
    struct Case {
        const char *gebruiker;
        int user;
        const char *remark;
    };
    const QList<Case> cases = {{"0", 0, "200"},
                               {"12abc", 12, "O'Brien; DROP TABLE TRANSACTIES; --"},
                               {"", 0, ""},
                               {"7", 7, "\"dubbel\" en 'enkel' \\ %1"}};
    int ride = 4711;
    for (const Case &c : cases) {
        controls.setText(Control::Gebruiker, QLatin1String(c.gebruiker));
        LogTransactie(db, controls, logError, 0, ride++, 0, 0, kTransactieStatusAntwoord, QString::fromUtf8(c.remark));
    }
    EXPECT_TRUE(log.isEmpty()) << log.join(QLatin1Char('\n')).toStdString();
    QSqlQuery q = db.exec(QStringLiteral("select tra_gebruiker, tra_ritstaat, tra_rit, tra_wagen, tra_chauffeur, "
                                         "tra_code, tra_opmerking from TRANSACTIES order by tra_id"));
    int i = 0;
    while (q.next()) {
        ASSERT_LT(i, cases.size());
        const Case &c = cases.at(i);
        EXPECT_EQ(q.value(0).toInt(), c.user);
        EXPECT_EQ(q.value(1).toInt(), 0);
        EXPECT_EQ(q.value(2).toInt(), 4711 + i);
        EXPECT_EQ(q.value(5).toInt(), 94);
        EXPECT_FALSE(q.value(6).isNull());
        EXPECT_EQ(q.value(6).toString(), QString::fromUtf8(c.remark));
        ++i;
    }
    EXPECT_EQ(i, cases.size());
}

TEST_F(SqliteDb, LogTransactieSwallowsADatabaseErrorIntoOneLogLine)
{
    db.exec(QStringLiteral("drop table TRANSACTIES"));
    LogTransactie(db, controls, logError, 0, 1, 0, 0, kTransactieNieuweRit, QStringLiteral("12345"));
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log.first().contains(QLatin1String("TRANSACTIES"), Qt::CaseInsensitive)) << log.first().toStdString();
}

TEST_F(SqliteDb, DatabaseTestShowsTheBoxAndClosesTheConnection)
{
    QStringList boxes;
    DatabaseTest test(db, [&](const QString &title, const QString &text) {
        EXPECT_TRUE(db.isOpen());
        boxes << title + QLatin1Char('|') + text;
    });
    test.run();
    EXPECT_EQ(boxes,
              QStringList{QStringLiteral("Database koppeling|Taxis Vorano SQL werd database met succes geopend")});
    EXPECT_FALSE(db.isOpen());

    // A database that cannot be opened: no box, the error goes to the caller. The connection an earlier
    // operation left open proves nothing about the changed settings, so it is not what gets tested.
    db.open();
    QFile blocker(dir.path() + QStringLiteral("/bestand"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    controls.setText(Control::xLoginDatabase, QStringLiteral("bestand/dispatch.sqlite"));
    EXPECT_THROW(test.run(), DatabaseError);
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_FALSE(db.isOpen());
}

} // namespace

// A statement that runs long is cancelled when the token trips (the program is closing): it fails with the
// abort text, the connection stays usable, and no statement starts while the token stays tripped.
TEST_F(SqliteDb, ATrippedTokenCancelsARunningStatementAndRefusesTheNext)
{
    AbortToken token;
    db.setAbortToken(token);
    db.open();
    const QString endless =
        QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n) select count(*) from n");
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        token.trip();
    });
    try {
        db.exec(endless);
        ADD_FAILURE() << "no error";
    } catch (const DatabaseError &e) {
        EXPECT_EQ(e.message(), AbortToken::abortedText());
    }
    stopper.join();
    EXPECT_THROW(db.exec(QStringLiteral("select 1")), DatabaseError);
    token.reset();
    EXPECT_EQ(scalar(QStringLiteral("select 1")).toInt(), 1);
}
