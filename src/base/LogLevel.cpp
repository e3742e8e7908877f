#include "base/LogLevel.h"

#include <QList>

#include <cstdlib>
#include <sys/stat.h>

QByteArray JournalPrefix(LogLevel level)
{
    switch (level) {
    case LogLevel::Error:
        return QByteArrayLiteral("<3>");
    case LogLevel::Warning:
        return QByteArrayLiteral("<4>");
    case LogLevel::Information:
        break;
    }
    return QByteArrayLiteral("<6>");
}

bool StandardErrorIsJournal()
{
    const char *stream = std::getenv("JOURNAL_STREAM");
    if (!stream)
        return false;
    const QList<QByteArray> parts = QByteArray(stream).split(':');
    if (parts.size() != 2)
        return false;
    bool devOk = false;
    bool inoOk = false;
    const qulonglong dev = parts.at(0).toULongLong(&devOk);
    const qulonglong ino = parts.at(1).toULongLong(&inoOk);
    struct stat st = {};
    if (!devOk || !inoOk || ::fstat(2, &st) != 0)
        return false;
    return qulonglong(st.st_dev) == dev && qulonglong(st.st_ino) == ino;
}

QByteArray StandardErrorLines(const QByteArray &text, LogLevel level, bool prefixed)
{
    if (!prefixed)
        return text;
    // The journal takes each line as an entry of its own: every one carries the priority.
    const QByteArray prefix = JournalPrefix(level);
    QByteArray out;
    out.reserve(text.size() + prefix.size() * 2);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        end = end < 0 ? text.size() : end + 1;
        out += prefix;
        out += text.mid(start, end - start);
        start = end;
    }
    return out;
}
