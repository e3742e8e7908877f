#include "link/ReadXmlTag.h"

#include "link/TextList.h"

QString ReadXMLTag(const TextList &list, const QString &tag)
{
    return ReadXMLTag(list.text(), tag);
}

QString ReadXMLTag(const QString &text, const QString &tag)
{
    const QString open = u'<' + tag + u'>';
    const QString close = QLatin1String("</") + tag + u'>';
    const qsizetype a = text.indexOf(open);
    if (a < 0)
        return {};
    // Both searches start at the beginning: the first closing tag may stand before the opening tag.
    const qsizetype b = text.indexOf(close);
    if (b < 0)
        return {};
    const qsizetype start = a + open.size();
    const qsizetype length = b - start;
    if (length <= 0)
        return {};
    return text.mid(start, length);
}
