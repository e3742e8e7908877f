#pragma once

#include "settings/Controls.h"

#include <QString>

// Writes a copy of a document while BackupsMaken is checked: single-byte text (characters outside Latin-1
// become "?"), replacing a file of the same name. `text` is the text of a text list (lines ending in CR LF).
// Returns false when copies are off. Throws FileError when the file cannot be written.
bool WriteDocumentCopy(const Controls &controls, const QString &folder, const QString &fileName, const QString &text);
