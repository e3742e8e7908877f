#pragma once

#include <QString>

class TextList;

// The text between the first "<tag>" and the first "</tag>" of the list's text; empty when either is missing or
// the closing tag comes first, and when the empty-element form "<tag/>" comes before the first "<tag>" (the first
// element of that name is empty; the next one is another's). Exact, case-sensitive, nothing decoded or trimmed.
QString ReadXMLTag(const TextList &list, const QString &tag);

// The same on a text that is already joined.
QString ReadXMLTag(const QString &text, const QString &tag);

// The same, taking the text: its buffer becomes the result (nothing is copied when the text is not shared).
QString TakeXMLTag(QString &&text, const QString &tag);

// A leaf value: the text between the tags as the text it stands for (see DecodeXmlText). Use ReadXMLTag for a
// part that is read further (a trip, its client, a list), so that it stays XML and is decoded once, at its leaves.
QString ReadXMLValue(const QString &text, const QString &tag);

// The content of the element's own child of that name: the element is the first one in the text, and only its
// children count, never an element deeper down (a trip's "id", not its vehicle type's). The child is written
// exactly "<tag>" ... "</tag>" (its own nesting respected); the empty-element form "<tag/>" is an empty child.
// Empty when the element has no such child. Nothing decoded or trimmed.
QString ReadXMLChild(const QString &element, const QString &tag);

// The same as a leaf value (see DecodeXmlText).
QString ReadXMLChildValue(const QString &element, const QString &tag);
