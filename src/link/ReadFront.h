#pragma once

#include <QByteArray>
#include <QString>

// A large buffer that is read once, from its front, lets go of what has been read as the reading goes: a reply of
// hundreds of megabytes is then not held whole beside what is made of it. DropReadFront moves the unread rest to
// the front once the part read is an eighth of the buffer (and a few megabytes) and gives the room back, setting
// read to 0; the moves add up to a few times the buffer. Large buffers are mapped on their own, so the room goes
// back to the system at once. A buffer shared with another is left as it is.
void DropReadFront(QByteArray &buffer, qsizetype &read);
void DropReadFront(QString &buffer, qsizetype &read);

// The text as UTF-8, letting go of the text while it is converted.
QByteArray ToUtf8Releasing(QString &&text);
