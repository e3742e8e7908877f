#include "db/DbScript.h"

QStringList splitSqlScript(const QString &script)
{
    QStringList statements;
    QString current;
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("--")) ||
            line.compare(QLatin1String("GO"), Qt::CaseInsensitive) == 0)
            continue;
        if (!current.isEmpty())
            current += QLatin1Char('\n');
        if (line.endsWith(QLatin1Char(';'))) {
            current += raw.trimmed().chopped(1);
            statements << current;
            current.clear();
        } else {
            current += raw.trimmed();
        }
    }
    if (!current.trimmed().isEmpty())
        statements << current;
    return statements;
}
