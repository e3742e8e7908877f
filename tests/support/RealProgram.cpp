#include "support/RealProgram.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <unistd.h>

namespace
{

const QString kProgramName = QStringLiteral("VoranoOstrel");

} // namespace

RealProgram::~RealProgram()
{
    if (running()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool RealProgram::install(const QString &programFile, const QString &folder, QString &error)
{
    m_folder = folder;
    const QString program = QDir(folder).filePath(kProgramName);
    // Many program folders at once would hold many copies of a large file: a hard link is the same file under the
    // program folder's name.
    if (::link(QFile::encodeName(programFile).constData(), QFile::encodeName(program).constData()) != 0) {
        if (!QFile::copy(programFile, program)) {
            error = QStringLiteral("no program in the program folder");
            return false;
        }
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    m_runtimeDir = QDir(folder).filePath(QStringLiteral("runtime"));
    if (!QDir().mkpath(m_runtimeDir) ||
        !QFile::setPermissions(m_runtimeDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        error = QStringLiteral("no runtime folder");
        return false;
    }
    return true;
}

bool RealProgram::start()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir);
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setWorkingDirectory(m_folder);
    m_process.start(QDir(m_folder).filePath(kProgramName), {});
    return m_process.waitForStarted(10000);
}

bool RealProgram::kill()
{
    if (!running())
        return true;
    ::kill(pid_t(m_process.processId()), SIGKILL);
    return m_process.waitForFinished(10000);
}

bool RealProgram::terminate(int waitMs)
{
    if (!running())
        return true;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (m_process.waitForFinished(waitMs))
        return true;
    m_process.kill();
    m_process.waitForFinished(5000);
    return false;
}
