#include "link/TextList.h"

void TextList::setText(const QString &text)
{
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    // A final line break does not start another line.
    if (start < n)
        lines.append(text.mid(start));
    setLines(lines);
}

void TextList::setLines(const QStringList &lines)
{
    m_lines = lines;
    m_joined.clear();
    m_joinedValid = false;
}

QString TextList::text() const
{
    if (!m_joinedValid) {
        qsizetype size = 0;
        for (const QString &line : m_lines)
            size += line.size() + 2;
        QString joined;
        joined.reserve(size);
        for (const QString &line : m_lines) {
            joined += line;
            joined += QLatin1String("\r\n");
        }
        m_joined = joined;
        m_joinedValid = true;
    }
    return m_joined;
}
