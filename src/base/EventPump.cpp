#include "base/EventPump.h"

#include <QCoreApplication>

void QtEventPump::processEvents()
{
    QCoreApplication::processEvents();
}
