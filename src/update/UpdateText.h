#pragma once

#include "update/UpdateTypes.h"

#include <QLocale>
#include <QString>

#include <array>
#include <optional>

// The size text of the download dialog in the given unit; thousands are grouped with the locale's separator.
QString FormatFileSize(qint64 size, TJFCAppUpdateFileSizeUnit unit, const QLocale &locale = QLocale());

// The part of a URL after its last "/"; the whole text when it holds none.
QString UrlFileName(const QString &url);

// True for an http or https address: the only kind the update opens in a browser or fetches.
bool IsWebAddress(const QString &url);

// True when both are web addresses on the same host (letter case ignored).
bool SameWebHost(const QString &url, const QString &other);

// Ordinal comparison of two version texts (UTF-16 code units from the left; a prefix is smaller): <0, 0 or >0.
int CompareVersionText(const QString &a, const QString &b);

// A program version as four numbers (each 0 to 65535, decimal digits only, joined by "."): the form of the
// version resource. Anything else gives no value.
using VersionNumbers = std::array<quint16, 4>;
std::optional<VersionNumbers> ParseVersionNumbers(const QString &text);

// True when a local file name is one plain name in the download folder: not empty, no folder separator or drive
// ("/", "\", ":"), no "..", no control character, no leading dot, none of the characters a Windows file name cannot
// hold, no trailing dot or blank (which Windows drops) and not a Windows device name.
bool IsSafeLocalFileName(const QString &name);

// True for a SHA-256 as text: 64 hexadecimal digits, either letter case.
bool IsSha256Text(const QString &text);

// "<received> of <maximum> (<percent>%)".
QString TransferText(qint64 received, qint64 maximum, TJFCAppUpdateFileSizeUnit unit,
                     const QLocale &locale = QLocale());

// The texts Timer1 shows every second during a transfer.
struct DownloadTimerTexts {
    QString speed;
    QString elapsed;
    QString remaining; // empty: leave the label as it is (nothing received yet)
};
DownloadTimerTexts Timer1Texts(qint64 elapsedMs, qint64 received, qint64 maximum, TJFCAppUpdateFileSizeUnit unit,
                               const QLocale &locale = QLocale());
