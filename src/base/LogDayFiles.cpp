#include "base/LogDayFiles.h"

#include <QDir>
#include <QFile>
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

int LogDayFiles::removeExpired(const QDate &today) const
{
    static const QRegularExpression dayFile(QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})\\.log$"));
    const QDate oldestKept = today.addDays(-kKeepDays);
    int removed = 0;
    const QDir dir(m_folder);
    for (const QString &name : dir.entryList(QDir::Files)) {
        const QRegularExpressionMatch m = dayFile.match(name);
        if (!m.hasMatch())
            continue;
        const QDate day = QDate::fromString(m.captured(1), kDayFilePattern);
        if (day.isValid() && day < oldestKept && QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

void LogDayFiles::append(const QDateTime &at, const QString &line, LogLevel level) noexcept
{
    try {
        const QByteArray bytes = line.toUtf8() + '\n';
        writeError(StandardErrorLines(bytes, level, m_journal));

        const QString path = m_folder + QLatin1Char('/') + fileName(at.date());
        QFile file(path);
        const bool written =
            file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(bytes) == bytes.size() && file.flush();
        if (written) {
            m_failing = false;
        } else if (!m_failing) {
            m_failing = true;
            writeError(StandardErrorLines(
                failureLine(QDir::toNativeSeparators(path), file.errorString()).toUtf8() + '\n', LogLevel::Warning,
                m_journal));
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
