#pragma once

#include "service/Operations.h"

#include <QCoreApplication>

#include <functional>
#include <memory>

class LinkService;

// How a program file runs the link service: the program with a window, or the server program without widgets.
struct ProgramKind {
    // Makes the application object: with a display the window's (QApplication) and windowed set, else a
    // QCoreApplication. Empty: always a QCoreApplication.
    std::function<std::unique_ptr<QCoreApplication>(int &argc, char **argv, bool &windowed)> makeApplication;
    // The operations; empty: the link service's own (no window operations).
    std::function<Operations(const ProgramLinks &links)> operations;
    // Makes and shows the window over the service when windowed; the window lives until the program ends.
    std::function<std::shared_ptr<void>(LinkService &service, const Operations &operations)> makeWindow;
    // Shows a start error to a user at a display (besides standard error).
    std::function<void(const QString &message)> showStartError;
};

// The whole program: the command line, the lock of the working folder, the service (and the window), the
// signals and the service manager. Returns the exit code: 0 done, 1 a problem (settings, folder, database,
// check), 2 a bad command line, 3 another program runs in this folder.
int RunProgram(int argc, char *argv[], const ProgramKind &kind);
