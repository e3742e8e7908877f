#pragma once

#include "base/CycleOutcome.h"
#include "base/OperationContext.h"
#include "settings/Controls.h"

#include <QString>

#include <functional>

class QWidget;

// An operation the main window starts from a timer, a button or the tray menu. It runs on the user-interface
// thread and returns when its work is done; errors it does not handle are thrown and reach the error hook.
// `window` is the parent for the dialogs an operation shows.
using Operation = std::function<void(OperationContext &context, QWidget *window)>;
// A cycle of the timers: an operation that tells what it did.
using Cycle = std::function<CycleOutcome(OperationContext &context, QWidget *window)>;

// The operations of the other subsystems, plugged in by the wiring (Wiring.cpp). An empty slot does nothing.
struct Operations {
    Cycle retrievalCycle;       // "UPDATE MANUEEL", tray "Update", timer Controle
    Operation manualProcessing; // "Handmatig verwerken"
    Cycle returnCycle;          // timer RetourTimer

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
    // The service stubs the operations use; the window's controls are passed in.
    std::function<ServiceFactory(const Controls &controls)> serviceFactory;
};
