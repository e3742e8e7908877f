#pragma once

#include "settings/Controls.h"

#include <QByteArray>
#include <QDate>
#include <QString>

// What becomes of an earlier copy of the same name: kept (each document exchanged has a copy of its own; names
// resolve only to the second, and the autumn's repeated hour gives its names twice; only a copy of exactly the
// same bytes, such as a document sent again unchanged, takes its place), or replaced (a copy that stands for the
// latest document of its kind, such as a reference list).
enum class CopyNaming { KeepEarlier, ReplaceEarlier };

// Writes a copy of a document while BackupsMaken is checked. `text` is the text of a text list (lines ending in
// CR LF). The copy is single-byte text in Windows-1252; a character the code page cannot hold is written as a
// character reference, so reading the copy gives the same document. An XML declaration at the start names the
// encoding the copy is written in. Returns false when copies are off. Throws FileError when the file cannot be
// written; an earlier file of that name is then unchanged, and no short or empty copy is left.
bool WriteDocumentCopy(const Controls &controls, const QString &folder, const QString &fileName, const QString &text,
                       CopyNaming naming = CopyNaming::KeepEarlier);

// The copies of exchanged documents are kept in a folder per day ("2026-12-11") under the copy folder, and a day's
// folder goes once it is older than BackupsDagen days (90 when the setting is no whole number above 0), counted as
// the log's day files are: back from today, or from the newest day folder when today is further past it than that.

// WriteDocumentCopy into the day's folder under `folder`, made when missing (the copy folder itself is not made).
// Making a day's folder removes the expired ones first.
bool WriteDayCopy(const Controls &controls, const QString &folder, const QDate &day, const QString &fileName,
                  const QString &text);

// Removes the day folders under `folder` that have expired by today; returns how many went. Other files and
// folders stay.
int PruneCopyFolders(const QString &folder, const QDate &today, int keepDays);
// The days that BackupsDagen keeps.
int CopyKeepDays(const Controls &controls);

// A document and the reply to it, copied into the day's folder under names that differ only in their prefix
// ("SendStatus_4711_1.xml", "RcvdStatus_4711_1.xml"): the number that makes the document's name unique ("-2",
// "-3", ...) is the first under which the reply's name is free and the document's free or held by a copy of the
// same document (sent again after a call that got no answer), so every reply copy stands beside the copy of the
// document it answers, and no reply copy takes the place of another.
class CopyPair
{
  public:
    CopyPair(const Controls &controls, const QString &folder, const QDate &day, const QString &documentName,
             const QString &replyName);
    bool writeDocument(const QString &text);
    bool writeReply(const QString &text);

  private:
    const Controls &m_controls;
    QString m_folder;
    QDate m_day;
    QString m_documentName;
    QString m_replyName;
    QString m_dayFolder; // where the document's copy went; empty until then
};

// `fileName` when no file of that name is in the folder, or one that holds exactly `bytes`; otherwise the name with
// "-2", "-3", ... before its extension, the first such name (shortened where needed to fit the longest file name).
QString FreeCopyName(const QString &folder, const QString &fileName, const QByteArray &bytes);

// The bytes of a document copy as WriteDocumentCopy writes them.
QByteArray DocumentCopyBytes(const QString &text);

// The text of a saved document, whatever wrote it: UTF-16 (little or big endian, with a byte order mark or
// recognisable by its first character "<"), UTF-8 with or without a byte order mark, or single-byte text in the
// encoding its XML declaration names; without such a declaration, text that is not valid UTF-8 is Windows-1252.
// A leading byte order mark is not part of the text.
QString DecodeDocumentText(const QByteArray &bytes);
