#include "app/Wiring.h"

#include "base/PlainTextWidgets.h"

#include "db/DatabaseTest.h"
#include "feedback/OwnerLookup.h"
#include "feedback/RetourCycle.h"
#include "feedback/ZoekExternebron.h"
#include "link/SoapTransport.h"
#include "reference/ReferenceLists.h"
#include "trips/TripImport.h"
#include "update/ProgramVersion.h"
#include "update/UpdateOperation.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <memory>

// The one place where the subsystems' operations are plugged into the main window. Each subsystem fills its
// own section; a slot left empty does nothing when its timer, button or tray item fires.
Operations WireOperations()
{
    Operations ops;

    // --- Service link: the SOAP stubs the operations use --------------------------------------------------
    ops.serviceFactory = [](const Controls &controls) { return MakeServiceFactory(controls); };

    // --- Database: the button "TEST" ----------------------------------------------------------------------
    ops.databaseTest = [](OperationContext &ctx, QWidget *window) {
        DatabaseTest(ctx.db, [window](const QString &title, const QString &text) {
            QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, window);
            MakePlainText(box);
            box.exec();
        }).run();
    };

    // --- Trip import: retrieval cycle ("UPDATE MANUEEL", tray "Update", Controle) and manual processing ------
    auto tripImport = std::make_shared<TripImport>(); // one generator of temporary keys for the whole run
    ops.retrievalCycle = [tripImport](OperationContext &ctx, QWidget *) { return tripImport->runRetrievalCycle(ctx); };
    ops.manualProcessing = [tripImport](OperationContext &ctx, QWidget *window) {
        tripImport->runManualProcessing(ctx, [window] {
            QFileDialog dialog(window);
            dialog.setFileMode(QFileDialog::ExistingFile);
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setDefaultSuffix(QStringLiteral("xml"));
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
                return QString();
            return dialog.selectedFiles().constFirst();
        });
    };

    // --- Status feedback: return-message cycle (RetourTimer) and owner search ("ZOEK EIGENAAR") ------------
    auto retourCycle = std::make_shared<RetourCycle>();
    ops.returnCycle = [retourCycle](OperationContext &ctx, QWidget *) {
        CycleOutcome outcome;
        retourCycle->RetourTimerTimer(ctx, &outcome);
        return outcome;
    };
    ops.ownerSearch = [](OperationContext &ctx, QWidget *window) {
        ZoekEigenaar(ctx.controls, ctx.db, ZoekExternebronChooser(window));
    };

    // --- Reference lists: the four fetches (their buttons and BasisTabellen) ------------------------------
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

    // --- Self-update: version text of the caption, update component and "UPDATE CONTROLE" -----------------
    auto updateVersion = std::make_shared<QString>();
    ops.programVersion = [] { return ProgramInternalFileVersion(); };
    ops.setUpdateVersion = [updateVersion](const QString &version) { *updateVersion = version; };
    ops.updateCheck = [updateVersion](OperationContext &ctx, QWidget *window) {
        // The update replaces the program file itself, which need not sit in the working folder.
        RunUpdateControle(*updateVersion, QFileInfo(QCoreApplication::applicationFilePath()).absolutePath(), window,
                          ctx.logError);
    };

    return ops;
}
