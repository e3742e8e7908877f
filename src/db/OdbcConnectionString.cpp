#include "db/OdbcConnectionString.h"

#include "base/VoranoError.h"

namespace
{

// "Driver={FreeTDS}" is how every driver manager expects the driver name; braces are harmless there.
QString driverValue(const QString &driver)
{
    QString v = driver;
    v.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + v + QLatin1Char('}');
}

bool needsBraces(const QString &value)
{
    return value.contains(QLatin1Char(';')) || value.startsWith(QLatin1Char('{'));
}

// One key=value pair with its ";". FreeTDS 1.3 ends a braced value at the first "}" followed by ";" and does not
// undo "}}", so such a value cannot reach it intact: refuse it rather than log in with a different password.
QString pair(const QString &key, const QString &value, const QString &label, bool freeTds)
{
    if (!needsBraces(value))
        return key + QLatin1Char('=') + value + QLatin1Char(';');
    if (freeTds && value.contains(QLatin1Char('}')))
        throw DatabaseError(QStringLiteral("De waarde van \"%1\" bevat zowel \";\" als \"}\" (of begint met \"{\" en "
                                           "bevat \"}\"); het stuurprogramma FreeTDS kan zo'n waarde niet "
                                           "doorgeven. Er is geen verbinding gemaakt.")
                                .arg(label));
    QString quoted = value;
    quoted.replace(QLatin1String("}"), QLatin1String("}}"));
    return key + QLatin1String("={") + quoted + QLatin1String("};");
}

} // namespace

// "ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server", "SQL Server Native Client 11.0".
bool isMicrosoftSqlServerDriver(const QString &driver)
{
    return !isFreeTdsDriver(driver) && driver.contains(QLatin1String("SQL Server"), Qt::CaseInsensitive);
}

bool isFreeTdsDriver(const QString &driver)
{
    return driver.trimmed().compare(QLatin1String("FreeTDS"), Qt::CaseInsensitive) == 0;
}

QString OdbcConnectionString(const DbLogin &login)
{
    const bool freeTds = isFreeTdsDriver(login.driver);
    const bool postgres = login.driver.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive);

    // "host,port" is SQL Server's notation. FreeTDS and psqlODBC take the port as a key of its own; the
    // Microsoft drivers understand the notation as it is.
    QString server = login.server.trimmed();
    QString port;
    const qsizetype comma = server.indexOf(QLatin1Char(','));
    if ((freeTds || postgres) && comma >= 0) {
        port = server.mid(comma + 1).trimmed();
        server = server.left(comma).trimmed();
    }

    QString s = QLatin1String("Driver=") + driverValue(login.driver.trimmed()) + QLatin1Char(';');
    s += pair(QStringLiteral("Server"), server, QStringLiteral("SQL server"), freeTds);
    if (!port.isEmpty())
        s += pair(QStringLiteral("Port"), port, QStringLiteral("SQL server"), freeTds);
    s += pair(QStringLiteral("Database"), login.database, QStringLiteral("Database"), freeTds);
    s += pair(QStringLiteral("UID"), login.user, QStringLiteral("Inlognaam"), freeTds);
    s += pair(QStringLiteral("PWD"), login.password, QStringLiteral("Paswoord"), freeTds);
    if (freeTds)
        s += QLatin1String("TDS_Version=7.4;ClientCharset=UTF-8;");
    if (freeTds && !login.allowUnencrypted)
        s += QLatin1String("Encryption=require;");
    if (isMicrosoftSqlServerDriver(login.driver))
        s += login.allowUnencrypted ? QLatin1String("Encrypt=no;") : QLatin1String("Encrypt=yes;");
    if (login.trustServerCertificate && isMicrosoftSqlServerDriver(login.driver))
        s += QLatin1String("TrustServerCertificate=yes;");
    return s;
}

bool encryptionRequired(const DbLogin &login)
{
    return !login.allowUnencrypted && (isFreeTdsDriver(login.driver) || isMicrosoftSqlServerDriver(login.driver));
}

QString OdbcConnectOptions()
{
    return QStringLiteral("SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3;SQL_ATTR_LOGIN_TIMEOUT=%1").arg(kOdbcLoginTimeoutSeconds);
}
