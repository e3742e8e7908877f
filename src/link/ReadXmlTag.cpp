#include "link/ReadXmlTag.h"

#include "link/TextList.h"
#include "link/XmlText.h"

#include <QVarLengthArray>

QString ReadXMLTag(const TextList &list, const QString &tag)
{
    return ReadXMLTag(list.text(), tag);
}

namespace
{

// Where the content of the first "<tag>" ... "</tag>" lies; start -1 when there is none (or it is empty).
struct TagSpan {
    qsizetype start = -1;
    qsizetype length = 0;
};

TagSpan findTag(const QString &text, const QString &tag)
{
    // The mapping reads dozens of tags per trip, so the text is scanned once, not once per tag form: every
    // occurrence of "<tag>" and of "</tag>" ends in "tag>", and the one or two characters before that part tell
    // which of the two it is. The first occurrences of both are then found in one pass up to the first closing
    // tag. The result is the same as searching for "<tag>" and "</tag>" separately from the start.
    const qsizetype n = tag.size();
    QVarLengthArray<char16_t, 64> suffixBuffer(n + 1);
    std::copy_n(tag.utf16(), n, suffixBuffer.data());
    suffixBuffer[n] = u'>';
    const QStringView suffix(suffixBuffer.data(), suffixBuffer.size());
    const QStringView view(text);

    qsizetype open = -1; // position of "<tag>"
    for (qsizetype p = view.indexOf(suffix, 1); p > 0; p = view.indexOf(suffix, p + 1)) {
        const QChar before = view[p - 1];
        if (before == u'/' && p >= 2 && view[p - 2] == u'<') {
            // The first closing tag: before any opening tag it leaves nothing to read.
            if (open < 0)
                return {};
            const qsizetype start = open + n + 2;
            const qsizetype length = (p - 2) - start;
            return length > 0 ? TagSpan{start, length} : TagSpan{};
        }
        if (before == u'<' && open < 0)
            open = p - 1;
    }
    return {};
}

} // namespace

QString ReadXMLTag(const QString &text, const QString &tag)
{
    const TagSpan span = findTag(text, tag);
    return span.start < 0 ? QString() : text.mid(span.start, span.length);
}

QString TakeXMLTag(QString &&text, const QString &tag)
{
    const TagSpan span = findTag(text, tag);
    QString taken = std::move(text);
    text = QString();
    if (span.start < 0)
        return QString();
    // Cut in place: a text held by nobody else keeps its buffer, so a reply of many megabytes is not copied.
    taken.truncate(span.start + span.length);
    taken.remove(0, span.start);
    return taken;
}

QString ReadXMLValue(const QString &text, const QString &tag)
{
    return DecodeXmlText(ReadXMLTag(text, tag));
}
