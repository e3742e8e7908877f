#include "app/Wiring.h"

#include "base/PlainTextWidgets.h"
#include "db/DatabaseTest.h"
#include "feedback/OwnerLookup.h"
#include "feedback/ZoekExternebron.h"
#include "service/ServiceWiring.h"
#include "update/UpdateOperation.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <memory>

// The link service's operations, and the window's own: the ones that show a dialog.
Operations WireOperations(const ProgramLinks &links)
{
    Operations ops = WireServiceOperations(links);

    // --- Database: the button "TEST" ----------------------------------------------------------------------
    ops.databaseTest = [](OperationContext &ctx, QWidget *window) {
        DatabaseTest(ctx.db, [window](const QString &title, const QString &text) {
            QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, window);
            MakePlainText(box);
            box.exec();
        }).run();
    };

    // --- Status feedback: owner search ("ZOEK EIGENAAR") ----------------------------------------------------
    ops.ownerSearch = [](OperationContext &ctx, QWidget *window) {
        ZoekEigenaar(ctx.controls, ctx.db, ZoekExternebronChooser(window));
    };

    // --- Self-update: the update component and "UPDATE CONTROLE" --------------------------------------------
    auto updateVersion = std::make_shared<QString>();
    ops.setUpdateVersion = [updateVersion](const QString &version) { *updateVersion = version; };
    ops.updateCheck = [updateVersion, links](OperationContext &ctx, QWidget *window) {
        // The update replaces the program file itself, which need not sit in the working folder.
        RunUpdateControle(*updateVersion, QFileInfo(QCoreApplication::applicationFilePath()).absolutePath(), window,
                          ctx.logError, links.network, links.stop);
    };

    return ops;
}
