#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class Controls;
class DispatchDb;

// One row of table ExterneBronnen.
struct Owner {
    QString description; // ebr_omschrijving
    QString id;          // ebr_id
    QString code;        // ebr_code
};

// All owners sorted by description, read afresh (the owner query ADOExterneBronnen).
QList<Owner> ReadOwners(DispatchDb &db);

// Lets the user pick one of the owners. Returns the code of the accepted row (empty when the list is empty or the
// code is missing), or nothing when the user cancelled. The main window shows ZoekExternebron; tests answer directly.
using OwnerChooser = std::function<std::optional<QString>(const QList<Owner> &owners)>;

// The button "ZOEK EIGENAAR": reads the owners, lets the user choose, and puts the chosen code into Eigenaar.
// A database error is thrown before anything is shown; cancelling leaves Eigenaar as it was.
void ZoekEigenaar(Controls &controls, DispatchDb &db, const OwnerChooser &choose);
