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

// Whether the part holds the empty-element form "<tag/>". The first element of that name is then empty: reading
// on to the next "<tag>" would take another element's value (a reply written back writes an empty element in
// that form, and the next "<id>" of a trip may be its vehicle type's).
bool emptyElementBefore(QStringView part, const QString &tag)
{
    if (tag.isEmpty())
        return false; // "</>" is the closing tag of the empty name
    const qsizetype n = tag.size();
    QVarLengthArray<char16_t, 64> form(n + 3);
    form[0] = u'<';
    std::copy_n(tag.utf16(), n, form.data() + 1);
    form[n + 1] = u'/';
    form[n + 2] = u'>';
    return part.indexOf(QStringView(form.data(), form.size())) >= 0;
}

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
            if (length <= 0 || emptyElementBefore(view.first(open), tag))
                return {};
            return TagSpan{start, length};
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

namespace
{

// The end of the tag that starts at `at` ("<" ...): the position after its ">", quoted values passed over; -1 when
// the text ends first. Comments, CDATA sections and processing instructions end at their own closing marks.
qsizetype tagEnd(QStringView text, qsizetype at)
{
    const auto past = [&](QStringView mark) {
        const qsizetype end = text.indexOf(mark, at);
        return end < 0 ? -1 : end + mark.size();
    };
    if (text.sliced(at).startsWith(u"<!--"))
        return past(u"-->");
    if (text.sliced(at).startsWith(u"<![CDATA["))
        return past(u"]]>");
    if (text.sliced(at).startsWith(u"<?"))
        return past(u"?>");
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'>')
            return i + 1;
        if (c == u'"' || c == u'\'') {
            i = text.indexOf(c, i + 1);
            if (i < 0)
                return -1;
        }
    }
    return -1;
}

} // namespace

QString ReadXMLChild(const QString &element, const QString &tag)
{
    const QStringView text(element);
    const QString open = u'<' + tag + u'>';
    const QString empty = u'<' + tag + QLatin1String("/>");
    int depth = 0;
    qsizetype contentStart = -1; // inside the child found, at depth 2
    for (qsizetype at = text.indexOf(u'<'); at >= 0; at = text.indexOf(u'<', at)) {
        const qsizetype end = tagEnd(text, at);
        if (end < 0)
            return {};
        const QStringView markup = text.sliced(at, end - at);
        const bool closing = markup.startsWith(u"</");
        const bool other = markup.startsWith(u"<!") || markup.startsWith(u"<?");
        const bool selfClosing = !closing && !other && markup.endsWith(u"/>");
        if (closing) {
            if (--depth <= 0)
                return {}; // the element ends without the child
            if (depth == 1 && contentStart >= 0)
                return element.mid(contentStart, at - contentStart);
        } else if (!other) {
            if (depth == 1 && contentStart < 0) {
                if (markup == empty)
                    return {};
                if (markup == open)
                    contentStart = end;
            }
            if (!selfClosing)
                ++depth;
        }
        at = end;
    }
    return {};
}

QString ReadXMLChildValue(const QString &element, const QString &tag)
{
    return DecodeXmlText(ReadXMLChild(element, tag));
}
