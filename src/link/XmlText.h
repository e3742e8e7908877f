#pragma once

#include <QString>
#include <QStringView>

// The text an element's content stands for: the predefined entities (&amp; &lt; &gt; &quot; &apos;) and
// character references (&#233; &#xE9;) replaced by their characters, CDATA sections unwrapped. Anything else
// (an unknown entity, a lone "&", a reference to a character XML does not allow, markup) stays as it is written.
// Apply it once, to a leaf value: decoding twice would turn a written "&amp;lt;" into "<".
QString DecodeXmlText(const QString &text);

// A text made safe as element content of a document we build: "&", "<" and ">" escaped.
QString EscapeXmlText(const QString &text);
