#include "support/PgServer.h"

#include "app/Controls.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString findBinDir()
{
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    // Prefer 15, the version the client is tested with; otherwise the newest installed.
    if (versions.contains(QStringLiteral("15")))
        return root.filePath(QStringLiteral("15/bin"));
    std::sort(versions.begin(), versions.end(), [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
    return versions.isEmpty() ? QString() : root.filePath(versions.last() + QStringLiteral("/bin"));
}

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString randomPassword()
{
    static const char alphabet[] = "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    QString s;
    for (int i = 0; i < 20; ++i)
        s += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof(alphabet) - 1))]);
    return s;
}

bool chownToPostgres(const QString &path)
{
    const passwd *pw = getpwnam("postgres");
    return pw && ::chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) == 0;
}

QString shellQuote(const QString &s)
{
    QString q = s;
    q.replace(QLatin1String("'"), QLatin1String("'\\''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

} // namespace

PgServer::PgServer()
    : m_dir(QDir::tempPath() + QStringLiteral("/vorano-pg-XXXXXX"))
    , m_password(randomPassword())
    , m_adminPassword(randomPassword())
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder: ") + m_dir.errorString();
        return;
    }
    m_binDir = findBinDir();
    if (m_binDir.isEmpty() || !QFile::exists(m_binDir + QStringLiteral("/initdb"))) {
        m_error = QStringLiteral("PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb); run scripts/install-deps");
        return;
    }
    m_dataDir = m_dir.path() + QStringLiteral("/data");
    m_asPostgres = ::geteuid() == 0;
    if (m_asPostgres && !chownToPostgres(m_dir.path())) {
        m_error = QStringLiteral("cannot hand %1 to the user postgres").arg(m_dir.path());
        return;
    }

    const QString pwFile = m_dir.path() + QStringLiteral("/pw");
    {
        QFile f(pwFile);
        if (!f.open(QIODevice::WriteOnly) || f.write(m_adminPassword.toUtf8() + '\n') < 0) {
            m_error = QStringLiteral("cannot write ") + pwFile;
            return;
        }
    }
    if (m_asPostgres)
        chownToPostgres(pwFile);

    QString output;
    if (!run(m_binDir + QStringLiteral("/initdb"),
             {QStringLiteral("-D"), m_dataDir, QStringLiteral("-A"), QStringLiteral("scram-sha-256"),
              QStringLiteral("--pwfile=") + pwFile, QStringLiteral("-U"), QStringLiteral("postgres"),
              QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-N")},
             m_asPostgres, &output)) {
        m_error = QStringLiteral("initdb failed: ") + output;
        return;
    }
    QFile::remove(pwFile);

    // The port is free when asked; another process may take it before the server binds, so try a few.
    for (int attempt = 0; attempt < 3 && !m_running; ++attempt) {
        m_port = freePort();
        if (m_port != 0)
            start();
    }
    if (!m_running) {
        m_error = QStringLiteral("pg_ctl start failed: ") + m_error + QLatin1Char('\n') + serverLog();
        return;
    }
    startWatchdog();

    bool ok = false;
    QString created = psqlAdmin(QStringLiteral("CREATE ROLE vorano LOGIN PASSWORD '%1'").arg(m_password), &ok);
    if (ok)
        created = psqlAdmin(QStringLiteral("CREATE DATABASE dispatch OWNER vorano ENCODING 'UTF8'"), &ok);
    if (!ok) {
        m_error = QStringLiteral("creating the dispatch database failed: ") + created;
        return;
    }
    const QString loaded = runPsql(user(), m_password, database(),
                                   {QStringLiteral("-f"), QStringLiteral(VORANO_SOURCE_DIR "/db/postgresql.sql")}, &ok);
    if (!ok) {
        m_error = QStringLiteral("loading db/postgresql.sql failed: ") + loaded;
        return;
    }
    m_ok = true;
    m_error.clear();
}

PgServer::~PgServer()
{
    if (m_running)
        run(m_binDir + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), m_dataDir, QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
             QStringLiteral("stop")},
            m_asPostgres);
}

QString PgServer::server() const
{
    return host() + QLatin1Char(',') + QString::number(m_port);
}

void PgServer::applyTo(Controls &controls) const
{
    controls.setText(Control::xLoginDriver, odbcDriver());
    controls.setText(Control::xLoginServer, server());
    controls.setText(Control::xLoginDatabase, database());
    controls.setText(Control::xLoginSQL, user());
    controls.setText(Control::xPaswoordSQL, m_password);
}

bool PgServer::start()
{
    if (m_running)
        return true;
    const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                                           "-c full_page_writes=off -c synchronous_commit=off")
                                .arg(m_port)
                                .arg(m_dir.path());
    QString output;
    m_running = run(m_binDir + QStringLiteral("/pg_ctl"),
                    {QStringLiteral("-D"), m_dataDir, QStringLiteral("-o"), options, QStringLiteral("-l"),
                     m_dir.path() + QStringLiteral("/log"), QStringLiteral("-w"), QStringLiteral("start")},
                    m_asPostgres, &output);
    if (!m_running)
        m_error = output;
    return m_running;
}

bool PgServer::stop()
{
    if (!m_running)
        return true;
    const bool stopped = run(m_binDir + QStringLiteral("/pg_ctl"),
                             {QStringLiteral("-D"), m_dataDir, QStringLiteral("-m"), QStringLiteral("fast"),
                              QStringLiteral("-w"), QStringLiteral("stop")},
                             m_asPostgres);
    m_running = !stopped;
    return stopped;
}

QString PgServer::serverLog() const
{
    QFile f(m_dir.path() + QStringLiteral("/log"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool PgServer::run(const QString &program, const QStringList &args, bool asPostgres, QString *output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir.path());
    if (asPostgres)
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                                       QStringLiteral("--"), program} + args);
    else
        p.start(program, args);
    const bool finished = p.waitForFinished(60000);
    if (output)
        *output = QString::fromLocal8Bit(p.readAll()) + (finished ? QString() : p.errorString());
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString PgServer::runPsql(const QString &user, const QString &password, const QString &database,
                          const QStringList &args, bool *ok) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), password);
    env.insert(QStringLiteral("PGCONNECT_TIMEOUT"), QStringLiteral("10"));
    p.setProcessEnvironment(env);
    p.start(m_binDir + QStringLiteral("/psql"),
            QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"), QStringLiteral("-t"),
                        QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), host(),
                        QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"), user,
                        QStringLiteral("-d"), database}
                + args);
    const bool finished = p.waitForFinished(60000);
    const bool good = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok)
        *ok = good;
    if (!good)
        return QString::fromUtf8(p.readAllStandardError()) + (finished ? QString() : p.errorString());
    QString out = QString::fromUtf8(p.readAllStandardOutput());
    while (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    return out;
}

QString PgServer::psql(const QString &sql, bool *ok) const
{
    return runPsql(user(), m_password, database(), {QStringLiteral("-c"), sql}, ok);
}

QString PgServer::psqlAdmin(const QString &sql, bool *ok) const
{
    return runPsql(QStringLiteral("postgres"), m_adminPassword, QStringLiteral("postgres"),
                   {QStringLiteral("-c"), sql}, ok);
}

// A test process that is killed (a time-out) would leave its server running; this stops it once the process is
// gone.
void PgServer::startWatchdog()
{
    QString stop = shellQuote(m_binDir + QStringLiteral("/pg_ctl")) + QStringLiteral(" -D ") + shellQuote(m_dataDir)
        + QStringLiteral(" -m immediate -w stop");
    if (m_asPostgres)
        stop = QStringLiteral("runuser -u postgres -- ") + stop;
    const QString script = QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; "
                                          "if [ -d %2 ]; then %3 >/dev/null 2>&1; rm -rf %4; fi")
                               .arg(QCoreApplication::applicationPid())
                               .arg(shellQuote(m_dataDir), stop, shellQuote(m_dir.path()));
    QProcess::startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
}
