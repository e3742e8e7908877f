#include "service/ServiceWiring.h"

#include "base/VoranoError.h"
#include "feedback/RetourCycle.h"
#include "link/SoapTransport.h"
#include "reference/ReferenceLists.h"
#include "trips/TripImport.h"
#include "update/ProgramVersion.h"

#include <memory>

// The one place where the subsystems' cycles are plugged into the link service. The window adds its own
// operations (the ones that show dialogs) in Wiring.cpp.
Operations WireServiceOperations(const ProgramLinks &links)
{
    Operations ops;

    // --- Service link: the SOAP stubs the operations use --------------------------------------------------
    ops.serviceFactory = [links](const Controls &controls) {
        return MakeServiceFactory(controls, links.network, &links.stop);
    };

    // --- Trip import: retrieval cycle ("UPDATE MANUEEL", tray "Update", Controle) and manual processing ------
    auto tripImport = std::make_shared<TripImport>(); // one generator of temporary keys for the whole run
    ops.retrievalCycle = [tripImport](OperationContext &ctx, QWidget *) { return tripImport->runRetrievalCycle(ctx); };
    ops.processReplyFile = [tripImport](OperationContext &ctx, const QString &path) {
        tripImport->runManualProcessing(ctx, [path] { return path; });
    };

    // --- Status feedback: return-message cycle (RetourTimer) ----------------------------------------------
    auto retourCycle = std::make_shared<RetourCycle>();
    ops.returnCycle = [retourCycle](OperationContext &ctx, QWidget *) {
        CycleOutcome outcome;
        try {
            retourCycle->RetourTimerTimer(ctx, &outcome);
        } catch (const VoranoError &e) {
            // What went out before the error counts, and how many still wait; the error's line fails the cycle.
            ctx.logError(e.message());
        }
        return outcome;
    };

    // --- Reference lists: BasisTabellen and the four buttons ------------------------------------------------
    ops.referenceRefresh = [](OperationContext &ctx, QWidget *) {
        RefreshReferenceLists(ctx);
        return CycleOutcome{};
    };
    ops.fetchVehicleTypes = [](OperationContext &ctx, QWidget *) {
        FetchReferenceList(ctx, ReferenceList::VehicleTypes);
    };
    ops.fetchIndications = [](OperationContext &ctx, QWidget *) {
        FetchReferenceList(ctx, ReferenceList::Indications);
    };
    ops.fetchAccessibilityEquipments = [](OperationContext &ctx, QWidget *) {
        FetchReferenceList(ctx, ReferenceList::AccessibilityEquipments);
    };
    ops.fetchProducts = [](OperationContext &ctx, QWidget *) { FetchReferenceList(ctx, ReferenceList::Products); };

    // --- Self-update: the version text of the caption and the start line ----------------------------------
    ops.programVersion = [] { return ProgramInternalFileVersion(); };
    return ops;
}
