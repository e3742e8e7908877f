#include "app/Wiring.h"

#include "app/DatabaseTest.h"

#include <QMessageBox>

// The one place where the subsystems' operations are plugged into the main window. Each subsystem fills its
// own section; a slot left empty does nothing when its timer, button or tray item fires.
Operations WireOperations()
{
    Operations ops;

    // --- Service link: the SOAP stubs the operations use --------------------------------------------------

    // --- Database: the button "TEST" ----------------------------------------------------------------------
    ops.databaseTest = [](OperationContext &ctx, QWidget *window) {
        DatabaseTest(ctx.db, [window](const QString &title, const QString &text) {
            QMessageBox::information(window, title, text);
        }).run();
    };

    // --- Trip import: retrieval cycle ("UPDATE MANUEEL", tray "Update", Controle) and manual processing ------

    // --- Status feedback: return-message cycle (RetourTimer) and owner search ("ZOEK EIGENAAR") ------------

    // --- Reference lists: the four fetches (their buttons and BasisTabellen) ------------------------------

    // --- Self-update: version text of the caption, update component and "UPDATE CONTROLE" -----------------
    ops.programVersion = [] { return QString(); };

    return ops;
}
