#include "reference/ReferenceLookup.h"

QString ReferenceLookup(const QStringList &memoLines, const QString &id)
{
    for (const QString &line : memoLines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (QStringView(line).left(eq).compare(id, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}
