#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// What a signed manifest must be before any of its values is used. The signature says who wrote it, these rules
// make sure it is read the one way its writer meant and only while it is current:
// - section and key names are ASCII (another reader might fold "ſ" or "K" (Kelvin) into an ASCII letter);
// - every section name and every key of a section appears once (names compared with ASCII letter case ignored,
//   like the reader does), so no reader can pick a different one of two values;
// - the program's section names ValidUntil, a UTC time "yyyy-MM-ddTHH:mm:ssZ", and that time has not passed: an
//   old signed manifest cannot be served again for ever to hold back updates; nor is it more than a year after
//   now, so no manifest stays current for ever either.
// Returns the Dutch log line that refuses the manifest, or an empty text when it may be read.
QString ManifestRefusal(const QString &text, const QString &section, const QDateTime &nowUtc);

// The values of the program's section, each against the rule the program applies where it uses the value. Each
// returns the Dutch log line that refuses the value, or an empty text. The lines carry the value as it stands:
// escape it before it reaches a terminal.
QString VersionRefusal(const QString &version);     // Version: four numbers joined by "."
QString DownloadNameRefusal(const QString &url);    // DownloadFileURL: ends in one plain file name
QString DownloadHashRefusal(const QString &sha256); // SHA256Hash: 64 hexadecimal digits
QString FileSizeRefusal(const QString &size);       // FileSize: absent, or a whole number of bytes from 1
QString NotesAddressRefusal(const QString &url);    // ReadmeFileURL: absent, or a web address

// Everything the program would refuse in a manifest: the refusal of ManifestRefusal alone when there is one (then
// no value is read), else the refusal of every value above, in that order. Empty: the program takes it whole.
QStringList ManifestRefusals(const QString &text, const QString &section, const QDateTime &nowUtc);

// ValidUntil's text as a UTC time; nothing for any other form.
std::optional<QDateTime> ParseValidUntil(const QString &value);
// The form written into a manifest.
QString ValidUntilText(const QDateTime &utc);

// The key names of the manifest that the program and vorano-release share.
inline constexpr const char *kValidUntilKey = "ValidUntil";
inline constexpr const char *kReadmeSha256Key = "ReadmeSHA256";
