#include "StopSignals.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <windows.h>

namespace
{

QCoreApplication *g_app = nullptr;

BOOL WINAPI onConsoleEvent(DWORD)
{
    QMetaObject::invokeMethod(g_app, &QCoreApplication::quit, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

bool QuitOnStopSignals(QCoreApplication &app)
{
    g_app = &app;
    return ::SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
}
