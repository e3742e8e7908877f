#include "support/PgServer.h"

#include "settings/Controls.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const QString kSchemaFile = QStringLiteral(VORANO_SOURCE_DIR "/db/postgresql.sql");

QString findBinDir()
{
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    // Prefer 15, the version the client is tested with; otherwise the newest installed.
    if (versions.contains(QStringLiteral("15")))
        return root.filePath(QStringLiteral("15/bin"));
    std::sort(versions.begin(), versions.end(),
              [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
    return versions.isEmpty() ? QString() : root.filePath(versions.last() + QStringLiteral("/bin"));
}

// Clusters live in memory when the machine offers it: copying and starting them is then IO-free.
QString scratchRoot()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
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

bool writeFile(const QString &path, const QString &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
}

QString readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

} // namespace

PgServer::PgServer()
    : m_dir(scratchRoot() + QStringLiteral("/vorano-pg-XXXXXX"))
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary folder: ") + m_dir.errorString();
        return;
    }
    m_binDir = findBinDir();
    if (m_binDir.isEmpty() || !QFile::exists(m_binDir + QStringLiteral("/initdb"))) {
        m_error = QStringLiteral("PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb); run "
                                 "scripts/install-deps");
        return;
    }
    m_asPostgres = ::geteuid() == 0;
    if (m_asPostgres && !chownToPostgres(m_dir.path())) {
        m_error = QStringLiteral("cannot hand %1 to the user postgres").arg(m_dir.path());
        return;
    }
    m_dataDir = m_dir.path() + QStringLiteral("/data");
    if (!copyTemplateCluster())
        return;

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
    m_ok = true;
    m_error.clear();
}

PgServer::~PgServer()
{
    if (m_running)
        pgCtl(m_dataDir,
              {QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
}

// initdb and loading the schema take seconds on a busy machine. They run once per machine (per PostgreSQL major
// version, user and content of db/postgresql.sql) into a template cluster, under a lock so that parallel tests
// do not race to make it; every server is a copy of it.
bool PgServer::copyTemplateCluster()
{
    QFile schema(kSchemaFile);
    if (!schema.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read ") + kSchemaFile;
        return false;
    }
    // The recipe's version is part of the key, so a changed recipe never reuses an old template.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView("template-recipe-1"));
    hash.addData(schema.readAll());
    const QString schemaHash = QString::fromLatin1(hash.result().toHex().left(12));
    const QString prefix =
        scratchRoot() +
        QStringLiteral("/vorano-pg-template-%1-%2").arg(QFileInfo(m_binDir).dir().dirName()).arg(::geteuid());
    const QString base = prefix + QLatin1Char('-') + schemaHash;

    QLockFile lock(prefix + QStringLiteral(".lock"));
    lock.setStaleLockTime(180000);
    if (!lock.lock()) {
        m_error = QStringLiteral("cannot lock ") + lock.fileName();
        return false;
    }
    const QString ready = base + QStringLiteral("/ready");
    if (!QFile::exists(ready) && !makeTemplateCluster(base))
        return false;
    m_adminPassword = readFile(base + QStringLiteral("/admin-password"));
    m_password = readFile(base + QStringLiteral("/vorano-password"));

    QString output;
    if (!run(QStringLiteral("cp"), {QStringLiteral("-a"), base + QStringLiteral("/data"), m_dataDir}, m_asPostgres,
             &output)) {
        m_error = QStringLiteral("copying the template cluster failed: ") + output;
        return false;
    }
    return true;
}

bool PgServer::makeTemplateCluster(const QString &base)
{
    QDir(base).removeRecursively();
    if (!QDir().mkpath(base) || (m_asPostgres && !chownToPostgres(base))) {
        m_error = QStringLiteral("cannot create ") + base;
        return false;
    }
    ::chmod(QFile::encodeName(base).constData(), 0700);
    const QString data = base + QStringLiteral("/data");
    const QString pwFile = base + QStringLiteral("/pw");
    m_adminPassword = randomPassword();
    m_password = randomPassword();
    if (!writeFile(pwFile, m_adminPassword + QLatin1Char('\n')) ||
        !writeFile(base + QStringLiteral("/admin-password"), m_adminPassword) ||
        !writeFile(base + QStringLiteral("/vorano-password"), m_password)) {
        m_error = QStringLiteral("cannot write the passwords into ") + base;
        return false;
    }
    if (m_asPostgres)
        chownToPostgres(pwFile);
    QString output;
    const bool made =
        run(m_binDir + QStringLiteral("/initdb"),
            {QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("scram-sha-256"),
             QStringLiteral("--pwfile=") + pwFile, QStringLiteral("-U"), QStringLiteral("postgres"),
             QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-N")},
            m_asPostgres, &output);
    QFile::remove(pwFile);
    if (!made) {
        m_error = QStringLiteral("initdb failed: ") + output;
        return false;
    }

    // Start the template once to create the role, the database and the tables; a clean stop leaves it ready
    // to be copied.
    m_port = freePort();
    if (!pgCtl(data,
               {QStringLiteral("-o"), serverOptions(base), QStringLiteral("-l"), base + QStringLiteral("/log"),
                QStringLiteral("-w"), QStringLiteral("start")},
               &output)) {
        m_error =
            QStringLiteral("starting the template cluster failed: ") + output + readFile(base + QStringLiteral("/log"));
        return false;
    }
    bool ok = false;
    QString step = psqlAdmin(QStringLiteral("CREATE ROLE vorano LOGIN PASSWORD '%1'").arg(m_password), &ok);
    if (ok)
        step = psqlAdmin(QStringLiteral("CREATE DATABASE dispatch OWNER vorano ENCODING 'UTF8'"), &ok);
    if (ok)
        step = runPsql(user(), m_password, database(), {QStringLiteral("-f"), kSchemaFile}, &ok);
    pgCtl(data, {QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
    m_port = 0;
    if (!ok) {
        m_error = QStringLiteral("creating the dispatch database from db/postgresql.sql failed: ") + step;
        return false;
    }
    if (!writeFile(base + QStringLiteral("/ready"), QString())) {
        m_error = QStringLiteral("cannot write ") + base + QStringLiteral("/ready");
        return false;
    }
    return true;
}

QString PgServer::serverOptions(const QString &socketDir) const
{
    return QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off "
                          "-c synchronous_commit=off -c autovacuum=off -c dynamic_shared_memory_type=mmap")
        .arg(m_port)
        .arg(socketDir);
}

bool PgServer::pgCtl(const QString &dataDir, const QStringList &args, QString *output)
{
    return run(m_binDir + QStringLiteral("/pg_ctl"), QStringList{QStringLiteral("-D"), dataDir} + args, m_asPostgres,
               output);
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
    QString output;
    m_running = pgCtl(m_dataDir,
                      {QStringLiteral("-o"), serverOptions(m_dir.path()), QStringLiteral("-l"),
                       m_dir.path() + QStringLiteral("/log"), QStringLiteral("-w"), QStringLiteral("start")},
                      &output);
    if (!m_running)
        m_error = output;
    return m_running;
}

bool PgServer::stop()
{
    if (!m_running)
        return true;
    const bool stopped =
        pgCtl(m_dataDir, {QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
    m_running = !stopped;
    return stopped;
}

QString PgServer::serverLog() const
{
    return readFile(m_dir.path() + QStringLiteral("/log"));
}

bool PgServer::run(const QString &program, const QStringList &args, bool asPostgres, QString *output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir.path());
    if (asPostgres)
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} + args);
    else
        p.start(program, args);
    const bool finished = p.waitForFinished(120000);
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
                        QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-U"), user, QStringLiteral("-d"),
                        database} +
                args);
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
    return runPsql(QStringLiteral("postgres"), m_adminPassword, QStringLiteral("postgres"), {QStringLiteral("-c"), sql},
                   ok);
}

// A test process that is killed (a time-out) would leave its server running; this stops it once the process is
// gone.
void PgServer::startWatchdog()
{
    QString stop = shellQuote(m_binDir + QStringLiteral("/pg_ctl")) + QStringLiteral(" -D ") + shellQuote(m_dataDir) +
                   QStringLiteral(" -m immediate -w stop");
    if (m_asPostgres)
        stop = QStringLiteral("runuser -u postgres -- ") + stop;
    const QString script = QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; "
                                          "if [ -d %2 ]; then %3 >/dev/null 2>&1; rm -rf %4; fi")
                               .arg(QCoreApplication::applicationPid())
                               .arg(shellQuote(m_dataDir), stop, shellQuote(m_dir.path()));
    QProcess::startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
}
