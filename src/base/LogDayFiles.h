#pragma once

#include "base/LogLevel.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

// The log's day files. Every log line also goes to a file per day in the folder Logboek ("2026-12-10.log",
// UTF-8, one line after the other as on the page) and to standard error, so what the page loses at every end
// of the program survives, and a service manager's journal holds it too. Writing the log never stops an
// operation: a day file that cannot be written is reported once on standard error, and reported again only
// after a write succeeded in between.
class LogDayFiles
{
  public:
    // Receives the bytes for standard error; empty: the process's standard error.
    using ErrorStream = std::function<void(const QByteArray &bytes)>;

    static constexpr int kKeepDays = 90;

    explicit LogDayFiles(QString folder, ErrorStream standardError = {});

    // The file name of a day: "yyyy-MM-dd.log".
    static QString fileName(const QDate &day);

    // Removes the day files dated more than kKeepDays days before today. The dates are those in the file names.
    // A file named after a day later than today is kept and moves nothing. When today is more than kKeepDays past
    // the newest day file, so that every file would go, the newest file's day stands for today: a clock far ahead
    // then removes no more than a right clock would have, and a clock that runs behind removes less. Files whose
    // name is not a day file's stay.
    // Returns how many were removed.
    int removeExpired(const QDate &today);

    // Of names that are a day ("yyyy-MM-dd") and suffix, those that have expired by the rule above, for keepDays
    // days; other names are left out.
    static QStringList expiredNames(const QStringList &names, const QString &suffix, const QDate &today, int keepDays);

    // Writes the line to standard error and appends it to the file of the day of at; the first line of a day
    // removes the expired day files before it is written, so a program that runs for months keeps no more than a
    // restarted one. A line that cannot be written whole is cut off again, so the
    // day file never holds half a line. Never throws. On standard error each line carries the syslog priority of
    // the level when standard error is the journal.
    void append(const QDateTime &at, const QString &line, LogLevel level = LogLevel::Error) noexcept;

    // Whether standard error gets the priority prefixes; at first: whether the process's standard error is the
    // journal (and no other stream was handed in).
    void setJournalPrefixes(bool on) { m_journal = on; }

  private:
    void writeError(const QByteArray &bytes) const;

    QString m_folder;
    ErrorStream m_standardError;
    bool m_failing = false;
    bool m_journal = false;
    QDate m_prunedOn; // the day removeExpired last ran for
};
