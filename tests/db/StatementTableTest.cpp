#include "db/StatementTable.h"
#include "db/DispatchDb.h"
#include "db/OdbcConnectionString.h"
#include "settings/MemoryControls.h"
#include "support/TempProgramDir.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSet>

#include <gtest/gtest.h>

namespace
{

// The dialects as a site's driver setting chooses them: the embedded file, SQL Server, PostgreSQL, any other driver.
QList<const SqlDialect *> dialects()
{
    QList<const SqlDialect *> out;
    for (const char *driver : {"SQLite", "FreeTDS", "PostgreSQL Unicode", "MySQL ODBC 8.0 Unicode Driver"})
        out << &SqlDialect::forDriver(QLatin1String(driver));
    return out;
}

QString sqlFolder()
{
    return QStringLiteral(VORANO_BINARY_DIR "/sql");
}

bool writeFile(const QString &path, const QString &text)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit();
}

QString cell(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("-");
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    out.replace(QLatin1Char('|'), QLatin1String("\\|"));
    return QLatin1Char('`') + out + QLatin1Char('`');
}

TEST(StatementTable, RunsOnSqlite)
{
    TempProgramDir dir;
    MemoryControls controls;
    controls.setText(Control::xLoginDriver, QStringLiteral("SQLite"));
    DispatchDb db(controls, dir.path());
    ASSERT_TRUE(db.dialect().embedded());
    db.open();
    seedStatementTable(db);
    runStatementTable(db);
}

// No SQL Server can be reached from the build machines: its column is written out for a T-SQL parser (a CTest
// test runs it on the file) and shown beside the others in statements.md.
TEST(StatementTable, WritesTheSqlServerColumn)
{
    ASSERT_TRUE(QDir().mkpath(sqlFolder()));
    const SqlDialect &sqlServer = SqlDialect::forDriver(QStringLiteral("ODBC Driver 18 for SQL Server"));
    ASSERT_EQ(sqlServer.name(), QStringLiteral("SQL Server"));
    QString script = QStringLiteral("-- Every statement the program sends to SQL Server, as the driver sends it. "
                                    "Written by the test run.\n\n");
    QString table = QStringLiteral("| operation | parameters |");
    for (const SqlDialect *d : dialects())
        table += QLatin1Char(' ') + d->name() + QStringLiteral(" |");
    table += QStringLiteral("\n|---|---|---|---|---|---|\n");
    int statements = 0;
    for (const StatementRow &row : statementTable()) {
        const QString sql = row.text(sqlServer);
        table += QStringLiteral("| %1 | %2 |").arg(row.operation, parameterComment(row.params));
        for (const SqlDialect *d : dialects()) {
            const QString text = row.text(*d);
            table += QLatin1Char(' ') +
                     (text.isEmpty() && row.transactionControl ? QStringLiteral("(driver)") : cell(text)) +
                     QStringLiteral(" |");
        }
        table += QLatin1Char('\n');
        if (sql.isEmpty()) {
            // Only a transaction's begin and end are left to the driver (automatic commit off and on), and only the
            // embedded database has the program's own table of event claims.
            EXPECT_TRUE(row.transactionControl ||
                        row.text(SqlDialect::of(DbDialect::SQLite)).contains(QLatin1String("vorano_event_claims")))
                << row.operation.toStdString();
            script += QStringLiteral("-- %1: by the driver\n\n").arg(row.operation);
            continue;
        }
        const QString numbered = numberedParameters(sql);
        EXPECT_FALSE(numbered.contains(QLatin1Char('?'))) << row.operation.toStdString();
        EXPECT_EQ(numbered.count(QStringLiteral("@p")), row.params.size()) << row.operation.toStdString();
        script += QStringLiteral("-- %1").arg(row.operation);
        if (!row.params.isEmpty())
            script += QStringLiteral(": ") + parameterComment(row.params);
        script += QLatin1Char('\n') + numbered + QStringLiteral("\nGO\n\n");
        ++statements;
    }
    EXPECT_GT(statements, 0);
    ASSERT_TRUE(writeFile(sqlFolder() + QStringLiteral("/mssql.sql"), script));
    ASSERT_TRUE(writeFile(sqlFolder() + QStringLiteral("/statements.md"), table));
}

// The connection strings of the two SQL Server drivers for the settings a site chooses (encryption required or
// not, the certificate checked or not, a port, an instance name), held against the keywords and values each driver
// documents:
// - FreeTDS (ODBC connection attributes; encryption as in freetds.conf): Server (host or host\instance), Port,
//   Database, UID, PWD, TDS_Version, ClientCharset, Encryption off/request/require. FreeTDS checks no certificate
//   unless a CA file is configured for it, so "certificate not checked" changes nothing in its string.
// - ODBC Driver 18 for SQL Server: Server ([tcp:]host[,port]; on Linux an instance name is not resolved and Port is
//   no keyword), Database, UID, PWD, Encrypt yes/no/Mandatory/Optional/Strict (yes by default, and then the
//   certificate is checked), TrustServerCertificate yes/no.
struct DriverDoc {
    QString driver;
    QSet<QString> keywords;
    QHash<QString, QSet<QString>> values; // the documented values of keywords that take a fixed set
};

const QList<DriverDoc> kDriverDocs = {
    {QStringLiteral("FreeTDS"),
     {QStringLiteral("Driver"), QStringLiteral("Server"), QStringLiteral("Port"), QStringLiteral("Database"),
      QStringLiteral("UID"), QStringLiteral("PWD"), QStringLiteral("TDS_Version"), QStringLiteral("ClientCharset"),
      QStringLiteral("Encryption")},
     {{QStringLiteral("Encryption"),
       {QStringLiteral("off"), QStringLiteral("request"), QStringLiteral("require"), QStringLiteral("required")}}}},
    {QStringLiteral("ODBC Driver 18 for SQL Server"),
     {QStringLiteral("Driver"), QStringLiteral("Server"), QStringLiteral("Database"), QStringLiteral("UID"),
      QStringLiteral("PWD"), QStringLiteral("Encrypt"), QStringLiteral("TrustServerCertificate")},
     {{QStringLiteral("Encrypt"),
       {QStringLiteral("yes"), QStringLiteral("no"), QStringLiteral("Mandatory"), QStringLiteral("Optional"),
        QStringLiteral("Strict")}},
      {QStringLiteral("TrustServerCertificate"), {QStringLiteral("yes"), QStringLiteral("no")}}}},
};

struct SiteSettings {
    const char *what;
    const char *server;
    bool trustServerCertificate;
    bool allowUnencrypted;
    const char *freeTds;
    const char *driver18;
};

const QList<SiteSettings> kSiteSettings = {
    {"encryption required, certificate checked", "dispatch01", false, false,
     "Driver={FreeTDS};Server=dispatch01;Database=Vorano;UID=vorano;PWD=geheim;TDS_Version=7.4;ClientCharset=UTF-8;"
     "Encryption=require;",
     "Driver={ODBC Driver 18 for SQL Server};Server=dispatch01;Database=Vorano;UID=vorano;PWD=geheim;Encrypt=yes;"},
    {"certificate not checked", "dispatch01", true, false,
     "Driver={FreeTDS};Server=dispatch01;Database=Vorano;UID=vorano;PWD=geheim;TDS_Version=7.4;ClientCharset=UTF-8;"
     "Encryption=require;",
     "Driver={ODBC Driver 18 for SQL Server};Server=dispatch01;Database=Vorano;UID=vorano;PWD=geheim;Encrypt=yes;"
     "TrustServerCertificate=yes;"},
    {"port", "10.0.0.5,1433", false, false,
     "Driver={FreeTDS};Server=10.0.0.5;Port=1433;Database=Vorano;UID=vorano;PWD=geheim;TDS_Version=7.4;"
     "ClientCharset=UTF-8;Encryption=require;",
     "Driver={ODBC Driver 18 for SQL Server};Server=10.0.0.5,1433;Database=Vorano;UID=vorano;PWD=geheim;"
     "Encrypt=yes;"},
    {"instance name", "dispatch01\\SQLEXPRESS", false, false,
     "Driver={FreeTDS};Server=dispatch01\\SQLEXPRESS;Database=Vorano;UID=vorano;PWD=geheim;TDS_Version=7.4;"
     "ClientCharset=UTF-8;Encryption=require;",
     "Driver={ODBC Driver 18 for SQL Server};Server=dispatch01\\SQLEXPRESS;Database=Vorano;UID=vorano;PWD=geheim;"
     "Encrypt=yes;"},
    {"encryption not required", "dispatch01", true, true,
     "Driver={FreeTDS};Server=dispatch01;Database=Vorano;UID=vorano;PWD=geheim;TDS_Version=7.4;ClientCharset=UTF-8;",
     "Driver={ODBC Driver 18 for SQL Server};Server=dispatch01;Database=Vorano;UID=vorano;PWD=geheim;Encrypt=no;"
     "TrustServerCertificate=yes;"},
};

TEST(StatementTable, ConnectionStringsUseWhatEachDriverDocuments)
{
    QString table = QStringLiteral("\n| settings | FreeTDS | ODBC Driver 18 for SQL Server |\n|---|---|---|\n");
    for (const SiteSettings &s : kSiteSettings) {
        table += QStringLiteral("| %1 |").arg(QLatin1String(s.what));
        for (const DriverDoc &doc : kDriverDocs) {
            DbLogin login{doc.driver,
                          QLatin1String(s.server),
                          QStringLiteral("Vorano"),
                          QStringLiteral("vorano"),
                          QStringLiteral("geheim"),
                          s.trustServerCertificate,
                          s.allowUnencrypted};
            const QString built = OdbcConnectionString(login);
            const bool freeTds = doc.driver == QLatin1String("FreeTDS");
            EXPECT_EQ(built, QLatin1String(freeTds ? s.freeTds : s.driver18))
                << doc.driver.toStdString() << ", " << s.what;
            table += QLatin1Char(' ') + cell(built) + QStringLiteral(" |");
            for (const QString &pair : built.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                const QString key = pair.section(QLatin1Char('='), 0, 0);
                const QString value = pair.section(QLatin1Char('='), 1);
                EXPECT_TRUE(doc.keywords.contains(key))
                    << doc.driver.toStdString() << " documents no " << key.toStdString();
                if (doc.values.contains(key)) {
                    EXPECT_TRUE(doc.values.value(key).contains(value))
                        << doc.driver.toStdString() << ": " << key.toStdString() << "=" << value.toStdString();
                }
            }
            // What a site asks for, each driver must be told: a login only over encryption, and the certificate
            // left unchecked only where the setting says so.
            const bool encrypted = built.contains(QLatin1String(freeTds ? "Encryption=require;" : "Encrypt=yes;"));
            EXPECT_EQ(encrypted, !s.allowUnencrypted) << doc.driver.toStdString() << ", " << s.what;
            EXPECT_EQ(encryptionRequired(login), !s.allowUnencrypted) << doc.driver.toStdString() << ", " << s.what;
            if (!freeTds) {
                EXPECT_EQ(built.contains(QLatin1String("TrustServerCertificate=yes;")), s.trustServerCertificate)
                    << s.what;
            }
        }
        table += QLatin1Char('\n');
    }
    ASSERT_TRUE(QDir().mkpath(sqlFolder()));
    QFile md(sqlFolder() + QStringLiteral("/connection-strings.md"));
    ASSERT_TRUE(md.open(QIODevice::WriteOnly | QIODevice::Truncate));
    md.write(table.toUtf8());
}

} // namespace
