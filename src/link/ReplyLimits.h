#pragma once

#include <QString>
#include <QtGlobal>

// The largest reply body each action may bring, in one place. Only the trip list grows with the work (10,000
// trips are about 22 MB on the wire) and keeps the transport's limit (kMaxReplyBytes); a reference list, a
// confirmation or a status answer stays far below kMaxSmallReplyBytes, so a larger one is refused before it is
// read instead of costing its reading's memory. An action not named here keeps the transport's limit.
inline constexpr qint64 kMaxSmallReplyBytes = qint64(16) * 1024 * 1024;

// The limit for the action that a kwp request asks for (its first <name>), or max when it names none of these.
qint64 MaxReplyBytesFor(const QString &request, qint64 max);
