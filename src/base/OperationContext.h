#pragma once

#include "base/Clock.h"
#include "base/EventPump.h"
#include "base/ProgramFolders.h"
#include "base/ServiceFactory.h"

#include <QString>

#include <functional>

class Controls;
class DispatchDb;
class TextList;

// Hands an error message to the log (one line per call).
using ErrorHook = std::function<void(const QString &message)>;

// What an operation of the core needs from the main window. Everything is borrowed; the window owns it.
struct OperationContext {
    Controls &controls;
    ServiceFactory service;
    DispatchDb &db;
    EventPump &pump;
    const Clock &clock;
    ProgramFolders folders;
    TextList &resultList;
    ErrorHook logError;
};
