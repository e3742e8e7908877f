#pragma once

#include <QString>

// How the program runs as a process, where the platforms differ. Linux: ProcessPlatform.cpp; Windows:
// ProcessPlatformWin.cpp.

// Called first thing in main: files the program makes are for its own user, a write to a pipe whose
// reader went away fails instead of ending the program, and nothing waits for someone to answer a system dialog.
void PrepareProcess();

// A write beyond a file-size limit fails with an error the program reports, instead of ending the program.
void IgnoreFileSizeLimit();

// The running program file, with links resolved; empty when unknown.
QString RunningProgramFile();

// The resident size of the process in bytes; 0 when unknown.
qint64 ResidentBytes();
