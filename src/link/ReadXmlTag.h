#pragma once

#include <QString>

class TextList;

// The text between the first "<tag>" and the first "</tag>" of the list's text; empty when either is missing or
// the closing tag comes first. Exact, case-sensitive, nothing decoded or trimmed.
QString ReadXMLTag(const TextList &list, const QString &tag);

// The same on a text that is already joined.
QString ReadXMLTag(const QString &text, const QString &tag);

// The same, taking the text: its buffer becomes the result (nothing is copied when the text is not shared).
QString TakeXMLTag(QString &&text, const QString &tag);

// A leaf value: the text between the tags as the text it stands for (see DecodeXmlText). Use ReadXMLTag for a
// part that is read further (a trip, its client, a list), so that it stays XML and is decoded once, at its leaves.
QString ReadXMLValue(const QString &text, const QString &tag);
