#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QString>

// Reading and writing the settings file format: a declaration line, then one element per line indented by two
// blanks per level, CR LF after every line, empty elements as empty-element tags, the five XML escapes.

inline constexpr const char *kSettingsDeclaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>";

// Deeper nesting is refused when reading: a settings file needs four levels, and every level costs the writer a
// line of indentation per element.
inline constexpr int kMaxSettingsDepth = 100;

struct ParsedSettingsXml {
    QDomDocument document;
    QString declaration; // empty when the text had none
};

// Parses settings text into a document, keeping every text node (also blank ones) so that a value of blanks
// survives. Throws XmlParseError "<what>: regel L, kolom C: <reader's message>" for text that is not well-formed
// or nested deeper than kMaxSettingsDepth.
ParsedSettingsXml ParseSettingsXml(const QByteArray &bytes, const QString &what);

// Writes the document in the settings format. The bytes are single-byte (ISO 8859-1), characters beyond it as
// character references, unless the declaration names UTF-8 (or no encoding, which means UTF-8). Whatever is written
// reads back: a declaration naming another encoding gets ISO 8859-1, name characters the encoding cannot hold
// become "_", characters XML does not allow are left out.
QByteArray WriteSettingsXml(const QDomDocument &document, const QString &declaration);

// The text of an element: its text and CDATA children joined (child elements and comments left out).
QString SettingsText(const QDomNode &element);

// The five escapes ("&", "<", ">", '"', "'"); characters XML cannot carry are left out.
QString EscapeSettingsText(const QString &text);
