#pragma once

#include "settings/Controls.h"

#include <QByteArray>
#include <QString>

// Writes a copy of a document while BackupsMaken is checked, replacing a file of the same name. `text` is the
// text of a text list (lines ending in CR LF). The copy is single-byte text in Windows-1252; a character the code
// page cannot hold is written as a character reference, so reading the copy gives the same document. An XML
// declaration at the start names the encoding the copy is written in. Returns false when copies are off. Throws
// FileError when the file cannot be written.
bool WriteDocumentCopy(const Controls &controls, const QString &folder, const QString &fileName, const QString &text);

// The bytes of a document copy as WriteDocumentCopy writes them.
QByteArray DocumentCopyBytes(const QString &text);

// The text of a saved document, whatever wrote it: UTF-16 (little or big endian, with a byte order mark or
// recognisable by its first character "<"), UTF-8 with or without a byte order mark, or single-byte text in the
// encoding its XML declaration names; without such a declaration, text that is not valid UTF-8 is Windows-1252.
// A leading byte order mark is not part of the text.
QString DecodeDocumentText(const QByteArray &bytes);
