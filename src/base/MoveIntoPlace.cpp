#include "base/MoveIntoPlace.h"

#include <QFile>

#include <cstdio>

bool MoveIntoPlace(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}
