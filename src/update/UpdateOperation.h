#pragma once

#include "base/OperationContext.h"

#include <QString>

class AbortToken;
class NetworkConnections;
class QWidget;

// "UPDATE CONTROLE" as the main window runs it: the update component with the main window's settings and the given
// version, real message boxes over window, the update dialog, and its refusals and the escaped errors of its
// buttons to logError. Its requests go over network; stop ends them.
void RunUpdateControle(const QString &version, const QString &programFolder, QWidget *window, ErrorHook logError,
                       NetworkConnections &network, AbortToken &stop);
