#include "update/ManifestRules.h"

#include "update/IniProfile.h"
#include "update/UpdateText.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTimeZone>

#include <algorithm>

namespace
{

const QString kDuplicateSection = QStringLiteral(
    "Updatecontrole: de sectie \"[%1]\" staat meer dan eens in het updatebestand; het updatebestand wordt geweigerd.");
const QString kDuplicateKey = QStringLiteral("Updatecontrole: de sleutel \"%1\" staat meer dan eens in de sectie "
                                             "\"[%2]\" van het updatebestand; het updatebestand wordt geweigerd.");
const QString kNotAscii = QStringLiteral("Updatecontrole: de naam \"%1\" in het updatebestand bevat andere tekens dan "
                                         "ASCII; het updatebestand wordt geweigerd.");
const QString kNoValidUntil = QStringLiteral("Updatecontrole: het updatebestand noemt geen geldige einddatum "
                                             "(ValidUntil); het updatebestand wordt geweigerd.");
const QString kExpired =
    QStringLiteral("Updatecontrole: het updatebestand is verlopen op %1 UTC; het updatebestand wordt geweigerd.");
const QString kTooFarAhead = QStringLiteral("Updatecontrole: het updatebestand is geldig tot %1 UTC, meer dan een jaar "
                                            "vooruit; het updatebestand wordt geweigerd.");
const QString kBadVersion = QStringLiteral(
    "Updatecontrole: het versienummer \"%1\" in het updatebestand is ongeldig; er wordt niets aangeboden.");
const QString kBadName = QStringLiteral("Update: de bestandsnaam \"%1\" is ongeldig; er wordt niets gedownload.");
const QString kNoChecksum =
    QStringLiteral("Update: het updatebestand noemt geen geldige SHA-256 van de download; er wordt niets gedownload.");
const QString kBadSize =
    QStringLiteral("Update: het updatebestand noemt als grootte \"%1\", geen aantal bytes; er wordt niets gedownload.");
const QString kNotesNotWeb = QStringLiteral("Updatecontrole: het adres van de release notes \"%1\" is geen webadres; "
                                            "de release notes worden niet getoond.");

QString untilText(const QString &validUntil)
{
    return validUntil.left(10) + QLatin1Char(' ') + validUntil.mid(11, 8);
}

bool isAscii(const QString &name)
{
    for (QChar c : name)
        if (c.unicode() > 0x7E || c.unicode() < 0x20)
            return false;
    return true;
}

} // namespace

std::optional<QDateTime> ParseValidUntil(const QString &value)
{
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}Z$"));
    if (!form.match(value).hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(value.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(value.mid(11, 8), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone::utc());
}

QString ValidUntilText(const QDateTime &utc)
{
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + QLatin1Char('Z');
}

QString ManifestRefusal(const QString &text, const QString &section, const QDateTime &nowUtc)
{
    QSet<QString> sections;
    QSet<QString> keys;
    QString current;
    bool inAnySection = false;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            current = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            if (!isAscii(current))
                return kNotAscii.arg(current);
            const QString folded = AsciiLower(current);
            if (sections.contains(folded))
                return kDuplicateSection.arg(current);
            sections.insert(folded);
            keys.clear();
            inAnySection = true;
            continue;
        }
        if (!inAnySection || line.startsWith(QLatin1Char(';')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!isAscii(key))
            return kNotAscii.arg(key);
        const QString folded = AsciiLower(key);
        if (keys.contains(folded))
            return kDuplicateKey.arg(key, current);
        keys.insert(folded);
    }

    const QString validUntil = ReadProfileString(text, section, QLatin1String(kValidUntilKey));
    const std::optional<QDateTime> until = ParseValidUntil(validUntil);
    if (!until)
        return kNoValidUntil;
    if (nowUtc > *until)
        return kExpired.arg(untilText(validUntil));
    if (*until > nowUtc.addYears(1))
        return kTooFarAhead.arg(untilText(validUntil));
    return {};
}

QString VersionRefusal(const QString &version)
{
    return ParseVersionNumbers(version) ? QString() : kBadVersion.arg(version);
}

QString DownloadNameRefusal(const QString &url)
{
    const QString name = UrlFileName(url);
    return IsSafeLocalFileName(name) ? QString() : kBadName.arg(name);
}

QString DownloadHashRefusal(const QString &sha256)
{
    return IsSha256Text(sha256) ? QString() : kNoChecksum;
}

QString FileSizeRefusal(const QString &size)
{
    if (size.isEmpty())
        return {};
    bool ok = false;
    const qint64 bytes = size.toLongLong(&ok);
    // Digits only: the number is compared as text with the size the server announces.
    const bool digits =
        std::all_of(size.begin(), size.end(), [](QChar c) { return c.isDigit() && c.unicode() < 0x80; });
    return ok && digits && bytes >= 1 && QString::number(bytes) == size ? QString() : kBadSize.arg(size);
}

QString NotesAddressRefusal(const QString &url)
{
    return url.isEmpty() || IsWebAddress(url) ? QString() : kNotesNotWeb.arg(url);
}

QStringList ManifestRefusals(const QString &text, const QString &section, const QDateTime &nowUtc)
{
    const QString refusal = ManifestRefusal(text, section, nowUtc);
    if (!refusal.isEmpty())
        return {refusal};
    auto key = [&](const char *name) { return ReadProfileString(text, section, QLatin1String(name)); };
    QStringList refusals;
    for (const QString &r : {VersionRefusal(key("Version")), DownloadNameRefusal(key("DownloadFileURL")),
                             DownloadHashRefusal(key("SHA256Hash")), FileSizeRefusal(key("FileSize")),
                             NotesAddressRefusal(key("ReadmeFileURL"))})
        if (!r.isEmpty())
            refusals << r;
    return refusals;
}
