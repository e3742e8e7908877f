#include "ProgramProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>

const QByteArray ProgramProcess::kMinimalSettings =
    "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n"
    "    <Eigenaar_Text>123</Eigenaar_Text>\r\n  </Hoofdscherm>\r\n</Configuration>\r\n";

void ProgramProcess::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QFile::copy(QStringLiteral(VORANO_BINARY_DIR "/src/VoranoOstrel"), dir.filePath(QStringLiteral("VoranoOstrel"))));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("JOURNAL_STREAM"));
    env.remove(QStringLiteral("NOTIFY_SOCKET"));
    env.remove(QStringLiteral("WATCHDOG_USEC"));
    env.remove(QStringLiteral("WATCHDOG_PID"));
    const QString runtime = dir.filePath(QStringLiteral(".runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(QDir::tempPath());
    program.setProgram(dir.filePath(QStringLiteral("VoranoOstrel")));
}

void ProgramProcess::TearDown()
{
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished();
    }
}

void ProgramProcess::write(const QString &name, const QByteArray &bytes)
{
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ProgramProcess::read(const QString &name) const
{
    QFile f(dir.filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void ProgramProcess::startAndWaitUntilRunning(const QString &workingFolder)
{
    program.start();
    ASSERT_TRUE(program.waitForStarted());
    const QDeadlineTimer started(30000);
    while (!QDir(workingFolder + QStringLiteral("/Vorano")).exists() && !started.hasExpired() &&
           program.state() == QProcess::Running)
        QThread::msleep(20);
    QThread::msleep(1000);
    ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().constData();
}

void ProgramProcess::stop()
{
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
}

void ProgramProcess::useServerProgram()
{
    const QString file = dir.filePath(QStringLiteral("VoranoOstrelService"));
    if (!QFile::exists(file)) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(VORANO_BINARY_DIR "/src/VoranoOstrelService"), file));
    }
    QProcessEnvironment env = program.processEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    program.setProcessEnvironment(env);
    program.setProgram(file);
}
