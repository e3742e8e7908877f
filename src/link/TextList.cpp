#include "link/TextList.h"

namespace {

// True when every line break is CR LF and the text ends with one (or is empty): then it is its own joined form.
bool isJoinedForm(const QString &text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 >= n || text.at(i + 1) != u'\n')
                return false;
            ++i;
        } else if (c == u'\n') {
            return false;
        }
    }
    return n == 0 || text.endsWith(QLatin1String("\r\n"));
}

} // namespace

void TextList::setText(const QString &text)
{
    if (isJoinedForm(text)) {
        m_joined = text;
    } else {
        const qsizetype n = text.size();
        QString joined;
        joined.reserve(n + n / 32 + 2);
        qsizetype start = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const QChar c = text.at(i);
            if (c != u'\r' && c != u'\n')
                continue;
            joined += QStringView(text).mid(start, i - start);
            joined += QLatin1String("\r\n");
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
        // A final line break does not start another line.
        if (start < n) {
            joined += QStringView(text).mid(start);
            joined += QLatin1String("\r\n");
        }
        joined.squeeze();
        m_joined = joined;
    }
    m_joinedValid = true;
    m_lines.clear();
    m_linesValid = false;
}

void TextList::setText(QString &&text)
{
    if (text.isEmpty() || isJoinedForm(text) || !text.isDetached()) {
        setText(static_cast<const QString &>(text));
        return;
    }
    // Every lone CR or LF becomes CR LF, and a last line without a break gets one: count what that adds, make room
    // at the end, and move the characters back from the end, each at most once.
    const qsizetype n = text.size();
    qsizetype added = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        else if (c == u'\r' || c == u'\n')
            ++added;
    }
    const QChar last = text.at(n - 1);
    const bool endsWithBreak = last == u'\r' || last == u'\n';
    if (!endsWithBreak)
        added += 2;
    text.resize(n + added);
    QChar *d = text.data();
    qsizetype w = n + added;
    qsizetype r = n;
    if (!endsWithBreak) {
        d[--w] = u'\n';
        d[--w] = u'\r';
    }
    while (r > 0) {
        const QChar c = d[--r];
        if (c == u'\n' || c == u'\r') {
            // A CR before this LF belongs to it; a CR met here on its own is a lone one (its LF came first).
            if (c == u'\n' && r > 0 && d[r - 1] == u'\r')
                --r;
            d[--w] = u'\n';
            d[--w] = u'\r';
        } else {
            d[--w] = c;
        }
    }
    m_joined = std::move(text);
    m_joinedValid = true;
    m_lines.clear();
    m_linesValid = false;
}

void TextList::setLines(const QStringList &lines)
{
    m_lines = lines;
    m_linesValid = true;
    m_joined.clear();
    m_joinedValid = false;
}

const QStringList &TextList::lines() const
{
    if (!m_linesValid) {
        // The joined text ends every line with CR LF.
        QStringList lines;
        const qsizetype n = m_joined.size();
        qsizetype start = 0;
        while (start < n) {
            const qsizetype end = m_joined.indexOf(QLatin1String("\r\n"), start);
            lines.append(m_joined.mid(start, end - start));
            start = end + 2;
        }
        m_lines = lines;
        m_linesValid = true;
    }
    return m_lines;
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
