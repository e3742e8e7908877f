#include "app/EventPump.h"

#include <QCoreApplication>

void QtEventPump::processEvents()
{
    QCoreApplication::processEvents();
}
