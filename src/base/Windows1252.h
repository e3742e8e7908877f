#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows-1252, the single-byte code page of the companies' machines and of the files this program writes. It
// matches Latin-1 except at 0x80 to 0x9F, where 27 bytes stand for typographic characters ("€", "–", curly
// quotes ...) and five (0x81, 0x8D, 0x8F, 0x90, 0x9D) are undefined.

// Whether the code page holds the character (the five undefined bytes count as holding nothing).
bool FitsWindows1252(char32_t c);

// The text of a byte sequence in the code page; an undefined byte becomes the control character of its value.
QString DecodeWindows1252(QByteArrayView bytes);

// XML text in the code page, losing nothing: a character the code page cannot hold becomes a decimal character
// reference ("Ł" gives "&#321;"). Inside a CDATA section, where references are not read, the section is closed
// around the reference. A lone surrogate, which no reference can stand for, becomes "?".
QByteArray EncodeWindows1252Xml(QStringView xml);
