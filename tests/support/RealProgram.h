#pragma once

#include <QProcess>
#include <QString>

// The real program, run as it runs for a user (offscreen, its own runtime folder) from a program folder of its own:
// the executable is placed there under the program's name (a hard link, or a copy where links cannot be made), so
// the program finds its settings and database in that folder. Killed at destruction when still running.
class RealProgram
{
  public:
    RealProgram() = default;
    RealProgram(const RealProgram &) = delete;
    RealProgram &operator=(const RealProgram &) = delete;
    ~RealProgram();

    // Places the executable `programFile` and a runtime folder in `folder`; false with a reason when it cannot.
    bool install(const QString &programFile, const QString &folder, QString &error);

    // Starts the program in its folder; false when it did not start within 10 s.
    bool start();

    // SIGKILL, as a power cut or an out-of-memory kill ends it; true when it ended within 10 s.
    bool kill();

    // SIGTERM, as a logout or a service stop ends it; true when it ended within `waitMs`. When it did not, it is
    // killed.
    bool terminate(int waitMs = 20000);

    bool running() const { return m_process.state() != QProcess::NotRunning; }
    QProcess &process() { return m_process; }

  private:
    QString m_folder;
    QString m_runtimeDir;
    QProcess m_process;
};
