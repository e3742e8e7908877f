#pragma once

#include "base/CycleOutcome.h"
#include "base/OperationContext.h"
#include "settings/Controls.h"

#include <QString>

#include <functional>

class AbortToken;
class NetworkConnections;
class QWidget;

// What the program makes once at its start and hands to whatever needs it: its network connections (every request
// goes over them) and its stop (tripped when the program is told to end).
struct ProgramLinks {
    NetworkConnections &network;
    AbortToken &stop;
};

// An operation started from a timer, a button or the tray menu. The cycles run on the link service's worker thread
// with no window (null); the window's own operations (they show dialogs) run on the main thread with the window as
// the parent of their dialogs. An operation returns when its work is done; errors it does not handle are thrown and
// reach the error hook.
using Operation = std::function<void(OperationContext &context, QWidget *window)>;
// A cycle of the timers: an operation that tells what it did.
using Cycle = std::function<CycleOutcome(OperationContext &context, QWidget *window)>;

// Processes a saved reply file ("Handmatig verwerken", after the window asked which one).
using FileOperation = std::function<void(OperationContext &context, const QString &path)>;

// The operations of the other subsystems, plugged in by the wiring (ServiceWiring.cpp for the link service,
// Wiring.cpp adds the window's). An empty slot does nothing.
struct Operations {
    Cycle retrievalCycle;           // "UPDATE MANUEEL", tray "Update", timer Controle
    FileOperation processReplyFile; // "Handmatig verwerken"
    Cycle returnCycle;              // timer RetourTimer
    Cycle referenceRefresh;         // timer BasisTabellen: the four lists in order

    Operation fetchVehicleTypes;            // "Wagensoorten ophalen"
    Operation fetchIndications;             // "Indicaties ophalen"
    Operation fetchAccessibilityEquipments; // "Toegangkelijkheid ophalen"
    Operation fetchProducts;                // "Producten ophalen"

    Operation ownerSearch;  // "ZOEK EIGENAAR"
    Operation updateCheck;  // "UPDATE CONTROLE"
    Operation databaseTest; // "TEST"

    // The program's version text for the caption (empty when there is none).
    std::function<QString()> programVersion;
    // Hands the version text to the update component as the current version.
    std::function<void(const QString &version)> setUpdateVersion;
    // The service stubs the operations use; the service's controls are passed in.
    std::function<ServiceFactory(const Controls &controls)> serviceFactory;
};
