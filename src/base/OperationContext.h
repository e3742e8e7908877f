#pragma once

#include "base/Clock.h"
#include "base/EventPump.h"
#include "base/LogLevel.h"
#include "base/ProgramFolders.h"
#include "base/ServiceFactory.h"

#include <QString>

#include <functional>

class Controls;
class DispatchDb;
class TextList;

// Hands an error message to the log (one line per call).
using ErrorHook = std::function<void(const QString &message)>;

// What an operation of the core needs from the link service. Everything is borrowed; the service owns it.
struct OperationContext {
    Controls &controls;
    ServiceFactory service;
    DispatchDb &db;
    EventPump &pump;
    const Clock &clock;
    ProgramFolders folders;
    TextList &resultList;
    ErrorHook logError;
    // Runs now the operations that fell due while this one runs and were kept waiting (a retrieval). Only for a
    // point where this operation holds no result set and no transaction: they use the same connection and may
    // close it. Empty: nothing waits.
    std::function<void()> runWaiting = {};
    // A line with its level: a notice about one trip is information, not an error. Empty: errors go to logError,
    // other lines nowhere.
    std::function<void(LogLevel level, const QString &message)> log = {};

    void logAt(LogLevel level, const QString &message) const
    {
        if (log)
            log(level, message);
        else if (level == LogLevel::Error && logError)
            logError(message);
    }
};
