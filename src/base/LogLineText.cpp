#include "base/LogLineText.h"

namespace
{

// The bidirectional controls turn the rest of a line around on a terminal or a page, so that a line can be made
// to read as something else than what it holds: the marks, the embeddings and overrides, and the isolates.
bool isBidiControl(char16_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool needsEscape(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || isBidiControl(c);
}

void appendHexEscape(QString &out, char16_t c)
{
    static const char kDigits[] = "0123456789ABCDEF";
    const int digits = c < 0x80 ? 2 : 4;
    out.append(c < 0x80 ? QLatin1String("\\x") : QLatin1String("\\u"));
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out.append(QLatin1Char(kDigits[(c >> shift) & 0xF]));
}

} // namespace

QString EscapeLogText(const QString &text)
{
    qsizetype first = 0;
    while (first < text.size() && !needsEscape(text.at(first).unicode()))
        ++first;
    if (first == text.size())
        return text;
    QString out = text.left(first);
    out.reserve(text.size() + 16);
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (!needsEscape(c))
            out.append(QChar(c));
        else if (c == u'\r')
            out.append(QLatin1String("\\r"));
        else if (c == u'\n')
            out.append(QLatin1String("\\n"));
        else if (c == u'\t')
            out.append(QLatin1String("\\t"));
        else
            appendHexEscape(out, c);
    }
    return out;
}

QString LogMessageText(const QString &message)
{
    // Escapes only make a text longer, so no more than the part that can stay needs escaping.
    const bool tooLong = message.size() > kMaxLogMessage;
    QString text = EscapeLogText(tooLong ? message.left(kMaxLogMessage) : message);
    if (!tooLong && text.size() <= kMaxLogMessage)
        return text;
    const QString mark = QString::fromUtf16(kLogCutMark);
    qsizetype keep = kMaxLogMessage - mark.size();
    if (text.at(keep - 1).isHighSurrogate())
        --keep; // never half a character
    text.truncate(keep);
    return text + mark;
}
