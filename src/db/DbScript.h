#pragma once

#include <QString>
#include <QStringList>

// The statements of a schema script: lines starting with "--" are comments, a statement ends with ";" at the end
// of a line, and a line "GO" (T-SQL batches) ends nothing by itself. The ";" is not part of the statement.
QStringList splitSqlScript(const QString &script);
