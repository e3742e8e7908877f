#pragma once

#include <QString>

// The dispatch database keeps its single-byte text columns in the Windows-1252 code page. Every character that
// code page cannot hold becomes "?" (one "?" per character, also for characters outside the basic plane).
QString ToSingleByteText(const QString &text);
