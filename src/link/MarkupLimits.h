#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// What a reply may hold before a reader sees it, counted in one pass that costs time in its length only.
//
// Qt's XML reader checks the attributes of one element against each other, which costs time in the square of
// their number: a few hundred thousand attributes on one element keep a core busy for minutes. A reply is refused
// when one element carries more than kMaxAttributesPerElement attributes or the whole more than kMaxAttributes.
// Attribute defaults declared in a document type count as well, as they are added to the elements.
inline constexpr int kMaxAttributesPerElement = 256;
inline constexpr int kMaxAttributes = 100000;
// The reader keeps every open element (its name, namespaces and attributes) until it closes, so a reply of
// nothing but opening tags costs many times its size: 98 MB nested took 2.5 GB. The deepest document the
// service sends is the trip list, nine levels in the kwp document (kwp, body, action, triplist, trip, client,
// extrafields, extrafield, id) and four in the envelope around it; a reply nested deeper than kMaxDepth is refused.
inline constexpr int kMaxDepth = 256;

// Throws XmlParseError naming the line when the text is over a limit. Anything else (not well-formed text, say)
// is left to the reader.
void CheckMarkupLimits(QStringView text);

// The same for a reply's bytes as they came, in the charset the header names (empty: none). Units of two or four
// bytes are counted as such (a byte-order mark, the charset or the first character tells); every other charset
// that XML allows keeps the ASCII characters markup is made of as single bytes.
void CheckMarkupLimits(QByteArrayView bytes, const QString &charset);
