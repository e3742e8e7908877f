#pragma once

#include <QString>
#include <QStringList>

// The value for an id in a reference list of id=name lines: the text after the first "=" of the first line whose
// text before its first "=" equals the id, ignoring letter case. Lines without "=" are skipped; empty when no line
// matches.
QString ReferenceLookup(const QStringList &memoLines, const QString &id);
