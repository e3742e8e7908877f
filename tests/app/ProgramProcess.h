#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The real program file copied into a scratch folder and started from there on the offscreen platform.
class ProgramProcess : public testing::Test
{
  protected:
    QTemporaryDir dir;
    QProcess program;

    // A settings file with an owner code and nothing that starts a cycle.
    static const QByteArray kMinimalSettings;

    void SetUp() override;
    void TearDown() override;

    void write(const QString &name, const QByteArray &bytes);
    QByteArray read(const QString &name) const;

    // Starts the program and waits until its start-up steps have run (the folder Vorano exists in the
    // working folder) and a moment more for the signal handlers.
    void startAndWaitUntilRunning(const QString &workingFolder);
    // SIGTERM, then waits for the end.
    void stop();
    // Runs the server program instead (the link service without widgets), as the service unit does: no display,
    // no platform chosen.
    void useServerProgram();
};
