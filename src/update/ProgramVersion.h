#pragma once

#include <QString>

// The InternalFileVersion of a program file's version resource ("" when it has none).
QString InternalFileVersionOf(const QString &programFile);

// The InternalFileVersion of the running program: the caption suffix after " - v" and the update check's Version.
QString ProgramInternalFileVersion();
