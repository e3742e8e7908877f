#include "base/LogDayFiles.h"

#include "base/CheckedFileWrite.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QRegularExpression>

#include <cstdio>

namespace
{

const QString kDayFilePattern = QStringLiteral("yyyy-MM-dd");
const QString kDayFileSuffix = QStringLiteral(".log");

QString failureLine(const QString &path, const QString &reason)
{
    return QStringLiteral("Logboek: kan niet schrijven naar %1 (%2); de logregels staan alleen op het scherm en "
                          "op standaardfout tot het weer lukt.")
        .arg(path, reason);
}

} // namespace

LogDayFiles::LogDayFiles(QString folder, ErrorStream standardError)
    : m_folder(std::move(folder))
    , m_standardError(std::move(standardError))
    , m_journal(!m_standardError && StandardErrorIsJournal())
{
}

QString LogDayFiles::fileName(const QDate &day)
{
    return day.toString(kDayFilePattern) + kDayFileSuffix;
}

int LogDayFiles::removeExpired(const QDate &today)
{
    m_prunedOn = today;
    const QDir dir(m_folder);
    int removed = 0;
    for (const QString &name : expiredNames(dir.entryList(QDir::Files), kDayFileSuffix, today, kKeepDays)) {
        if (QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

QStringList LogDayFiles::expiredNames(const QStringList &names, const QString &suffix, const QDate &today, int keepDays)
{
    static const QRegularExpression dayName(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    QList<std::pair<QString, QDate>> days;
    QDate newest;
    for (const QString &name : names) {
        if (!name.endsWith(suffix))
            continue;
        const QString dayText = name.left(name.size() - suffix.size());
        const QDate day = dayName.match(dayText).hasMatch() ? QDate::fromString(dayText, kDayFilePattern) : QDate();
        if (!day.isValid())
            continue;
        days.append({name, day});
        if (!newest.isValid() || day > newest)
            newest = day;
    }
    // A today more than keepDays past every day is not believed: by it everything would expire at once, as it does
    // when a clock set a year ahead is read. The newest day then stands for today, which removes no more than a
    // right clock would. A name after a later day than today (a clock set back) moves nothing.
    const QDate reference = newest.isValid() && newest.daysTo(today) > keepDays ? newest : today;
    const QDate oldestKept = reference.addDays(-keepDays);
    QStringList expired;
    for (const auto &[name, day] : days) {
        if (day < oldestKept)
            expired << name;
    }
    return expired;
}

void LogDayFiles::append(const QDateTime &at, const QString &line, LogLevel level) noexcept
{
    try {
        const QByteArray bytes = line.toUtf8() + '\n';
        writeError(StandardErrorLines(bytes, level, m_journal));

        // Before the line: the file this line creates must not vouch for the date it was named after.
        if (at.date() != m_prunedOn)
            removeExpired(at.date());

        const QString path = m_folder + QLatin1Char('/') + fileName(at.date());
        const QString failure = AppendToFile(path, bytes);
        if (failure.isEmpty()) {
            m_failing = false;
        } else if (!m_failing) {
            m_failing = true;
            writeError(StandardErrorLines(failureLine(QDir::toNativeSeparators(path), failure).toUtf8() + '\n',
                                          LogLevel::Warning, m_journal));
        }
    } catch (...) {
        // The log is the last place an error goes; nothing further can report this one.
    }
}

void LogDayFiles::writeError(const QByteArray &bytes) const
{
    if (m_standardError) {
        m_standardError(bytes);
        return;
    }
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}
