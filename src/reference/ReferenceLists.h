#pragma once

#include "settings/Controls.h"

#include <QString>

struct OperationContext;

// The service's four code lists, kept as id=name lines in one memo each.
enum class ReferenceList { VehicleTypes, Indications, AccessibilityEquipments, Products };

struct ReferenceListInfo {
    ReferenceList list;
    const char *action;    // the kwp action that fetches it
    const char *container; // the list element of the reply
    const char *item;      // the item element inside it
    Control memo;
    const char *copyFile; // copy of the reply in BackupsInDir
};

const ReferenceListInfo &referenceListInfo(ReferenceList list);

// The lists in the order the refresh fetches them.
inline constexpr ReferenceList kReferenceListOrder[] = {ReferenceList::VehicleTypes, ReferenceList::Indications,
                                                        ReferenceList::AccessibilityEquipments,
                                                        ReferenceList::Products};

// Fetches one list (the buttons "Wagensoorten ophalen", "Indicaties ophalen", "Toegangkelijkheid ophalen",
// "Producten ophalen"). A refused reply (status not "200" or another action name) changes nothing but ResultList.
// Errors of the exchange, of the copy file and of reading the reply are thrown. Returns whether the list was replaced.
bool FetchReferenceList(OperationContext &ctx, ReferenceList list);

// The refresh of the timer BasisTabellen: the four lists in order, a pass of the message loop after each fetch.
// The first error ends the refresh and is thrown, so the caller changes the timer's interval only after a refresh
// that ran through. Does not look at xAuto; the timer does.
void RefreshReferenceLists(OperationContext &ctx);
