#include "update/UpdateText.h"

#include <QTime>
#include <QUrl>

namespace
{

constexpr qint64 kGB = 1073741824;
constexpr qint64 kMB = 1048576;
constexpr qint64 kKB = 1024;

// "#,###": the number with the locale's thousands separator.
QString grouped(qint64 n, const QLocale &locale)
{
    const QString digits = QString::number(n < 0 ? -n : n);
    QString out;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += locale.groupSeparator();
        out += digits[i];
    }
    return n < 0 ? QStringLiteral("-") + out : out;
}

QString inUnit(qint64 size, qint64 unitSize, const char *suffix, const QLocale &locale)
{
    if (size == 0)
        return QStringLiteral("0 ") + QLatin1String(suffix);
    if (size < unitSize)
        return QStringLiteral("1 ") + QLatin1String(suffix);
    return grouped(size / unitSize, locale) + QLatin1Char(' ') + QLatin1String(suffix);
}

QString timeText(qint64 seconds)
{
    return QTime(0, 0).addSecs(static_cast<int>(seconds % 86400)).toString(QStringLiteral("hh:mm:ss"));
}

} // namespace

QString FormatFileSize(qint64 size, TJFCAppUpdateFileSizeUnit unit, const QLocale &locale)
{
    switch (unit) {
    case TJFCAppUpdateFileSizeUnit::Auto:
        if (size == 0)
            return QStringLiteral("0 B");
        if (size > kGB)
            return grouped(size / kGB, locale) + QStringLiteral(" GB");
        if (size > kMB)
            return grouped(size / kMB, locale) + QStringLiteral(" MB");
        if (size > kKB)
            return grouped(size / kKB, locale) + QStringLiteral(" KB");
        return grouped(size, locale) + QStringLiteral(" B");
    case TJFCAppUpdateFileSizeUnit::Bytes:
        return size == 0 ? QStringLiteral("0 B") : grouped(size, locale) + QStringLiteral(" B");
    case TJFCAppUpdateFileSizeUnit::KiloBytes:
        return inUnit(size, kKB, "KB", locale);
    case TJFCAppUpdateFileSizeUnit::MegaBytes:
        return inUnit(size, kMB, "MB", locale);
    case TJFCAppUpdateFileSizeUnit::GigaBytes:
        return inUnit(size, kGB, "GB", locale);
    }
    return {};
}

QString UrlFileName(const QString &url)
{
    return url.mid(url.lastIndexOf(QLatin1Char('/')) + 1);
}

bool IsWebAddress(const QString &url)
{
    const QUrl u(url, QUrl::StrictMode);
    const QString scheme = u.scheme().toLower();
    return u.isValid() && !u.host().isEmpty() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool SameWebHost(const QString &url, const QString &other)
{
    return IsWebAddress(url) && IsWebAddress(other) &&
           QUrl(url).host().compare(QUrl(other).host(), Qt::CaseInsensitive) == 0;
}

int CompareVersionText(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseSensitive);
}

std::optional<VersionNumbers> ParseVersionNumbers(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    VersionNumbers numbers{};
    for (qsizetype i = 0; i < 4; ++i) {
        const QString &part = parts[i];
        if (part.isEmpty() || part.size() > 5)
            return std::nullopt;
        for (QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        const uint value = part.toUInt();
        if (value > 65535)
            return std::nullopt;
        numbers[size_t(i)] = quint16(value);
    }
    return numbers;
}

bool IsSha256Text(const QString &text)
{
    if (text.size() != 64)
        return false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')))
            return false;
    }
    return true;
}

bool IsSafeLocalFileName(const QString &name)
{
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || name.contains(QStringLiteral("..")) ||
        name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return false;
    for (QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control || forbidden.contains(c))
            return false;
    static const QStringList devices = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                        QStringLiteral("NUL")};
    const QString base = name.left(name.indexOf(QLatin1Char('.'))).trimmed().toUpper();
    if (devices.contains(base))
        return false;
    if (base.size() == 4 && (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT"))) &&
        base[3] >= QLatin1Char('1') && base[3] <= QLatin1Char('9'))
        return false;
    return true;
}

QString TransferText(qint64 received, qint64 maximum, TJFCAppUpdateFileSizeUnit unit, const QLocale &locale)
{
    const qint64 percent = maximum > 0 ? received * 100 / maximum : 0;
    return FormatFileSize(received, unit, locale) + QStringLiteral(" of ") + FormatFileSize(maximum, unit, locale) +
           QStringLiteral(" (") + QString::number(percent) + QStringLiteral("%)");
}

DownloadTimerTexts Timer1Texts(qint64 elapsedMs, qint64 received, qint64 maximum, TJFCAppUpdateFileSizeUnit unit,
                               const QLocale &locale)
{
    DownloadTimerTexts t;
    const qint64 seconds = elapsedMs / 1000;
    t.speed = FormatFileSize(seconds > 0 ? received / seconds : 0, unit, locale) + QStringLiteral("/sec");
    t.elapsed = timeText(seconds);
    if (received > 0)
        t.remaining = timeText(qMax<qint64>(0, (maximum - received) * seconds / received));
    return t;
}
