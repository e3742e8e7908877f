#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Qt's XML reader checks the attributes of one element against each other, which costs time in the square of
// their number: a few hundred thousand attributes on one element keep a core busy for minutes. Every reply is
// therefore counted first, in one pass that costs time in its length only, and refused before a reader sees it
// when one element carries more than kMaxAttributesPerElement attributes or the whole more than kMaxAttributes.
// Attribute defaults declared in a document type count as well, as they are added to the elements.
inline constexpr int kMaxAttributesPerElement = 256;
inline constexpr int kMaxAttributes = 100000;

// Throws XmlParseError naming the line when the text is over a limit. Anything else (not well-formed text, say)
// is left to the reader.
void CheckAttributeLimit(QStringView text);

// The same for a reply's bytes as they came, in the charset the header names (empty: none). Units of two or four
// bytes are counted as such (a byte-order mark, the charset or the first character tells); every other charset
// that XML allows keeps the ASCII characters markup is made of as single bytes.
void CheckAttributeLimit(QByteArrayView bytes, const QString &charset);
