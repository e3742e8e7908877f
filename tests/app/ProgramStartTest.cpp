// The program file itself: started from a scratch program folder, ended by a signal or refused at start.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

class ProgramTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QProcess program;

    void SetUp() override
    {
        const QString built = QStringLiteral(VORANO_BINARY_DIR "/src/VoranoOstrel");
        ASSERT_TRUE(QFile::copy(built, dir.filePath(QStringLiteral("VoranoOstrel"))));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(QDir::tempPath()); // the program folder is the one of the program file
        program.setProgram(dir.filePath(QStringLiteral("VoranoOstrel")));
    }

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    }

    void write(const char *name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray read(const char *name)
    {
        QFile f(dir.filePath(QLatin1String(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

const QByteArray kStored = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n"
                           "    <FormVersion>0</FormVersion>\r\n    <Eigenaar_Text>123</Eigenaar_Text>\r\n"
                           "    <Eigen>blijft</Eigen>\r\n  </Hoofdscherm>\r\n</Configuration>\r\n";

} // namespace

TEST_F(ProgramTest, TermAndIntCloseTheProgramAsSluitenDoes)
{
    for (int signal : {SIGTERM, SIGINT}) {
        write("VoranotoOstrel.xml", kStored);
        QFile::remove(dir.filePath(QStringLiteral("VoranotoOstrelBase.xml")));
        program.start();
        ASSERT_TRUE(program.waitForStarted());
        // The folder tree appears during the start-up steps; the signal handler is in place just after them.
        const QDeadlineTimer started(30000);
        while (!QDir(dir.filePath(QStringLiteral("Vorano"))).exists() && !started.hasExpired())
            QThread::msleep(20);
        QThread::msleep(1000);
        ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().constData();
        ::kill(pid_t(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(program.exitCode(), 0) << signal;
        const QByteArray main = read("VoranotoOstrel.xml");
        EXPECT_TRUE(main.contains("    <Eigenaar_Text>123</Eigenaar_Text>\r\n    <Eigen>blijft</Eigen>\r\n"
                                  "    <Flags>")) << main.constData();
        EXPECT_TRUE(main.contains("<xCertNegeren_Checked>FALSE</xCertNegeren_Checked>")) << main.constData();
        EXPECT_TRUE(read("VoranotoOstrelBase.xml").contains("<BasicVehicleTypes_Lines>")) << signal;
    }
}

TEST_F(ProgramTest, SettingsFileThatIsNotWellFormedStopsTheStart)
{
    const QByteArray broken = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n"
                              "  <Hoofdscherm>\r\n    <xSV_Text>P</xSV>\r\n";
    write("VoranotoOstrelBase.xml", broken);
    write("VoranotoOstrel.xml", kStored);
    program.start();
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(program.exitCode(), 0);
    const QByteArray err = program.readAllStandardError();
    EXPECT_TRUE(err.contains("VoranotoOstrelBase.xml: regel 4, kolom")) << err.constData();
    EXPECT_EQ(read("VoranotoOstrelBase.xml"), broken);
    EXPECT_EQ(read("VoranotoOstrel.xml"), kStored);
}
