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
    static const QRegularExpression dayFile(QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})\\.log$"));
    m_prunedOn = today;
    const QDir dir(m_folder);
    QList<std::pair<QString, QDate>> days;
    QDate newest;
    for (const QString &name : dir.entryList(QDir::Files)) {
        const QRegularExpressionMatch m = dayFile.match(name);
        if (!m.hasMatch())
            continue;
        const QDate day = QDate::fromString(m.captured(1), kDayFilePattern);
        if (!day.isValid())
            continue;
        days.append({name, day});
        if (!newest.isValid() || day > newest)
            newest = day;
    }
    if (days.isEmpty())
        return 0;
    // A today more than kKeepDays past every day file is not believed: by it every file would expire at once, as
    // they do when a clock set a year ahead is read. The newest day file's day then stands for today, which removes
    // no more than a right clock would. A file named after a later day than today (a clock set back) moves nothing.
    const QDate reference = newest.daysTo(today) > kKeepDays ? newest : today;
    const QDate oldestKept = reference.addDays(-kKeepDays);
    int removed = 0;
    for (const auto &[name, day] : days) {
        if (day < oldestKept && QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
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
