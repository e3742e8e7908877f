#include "reference/ReferenceLists.h"

#include "base/OperationContext.h"
#include "link/DocumentCopies.h"
#include "link/External_.h"
#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"
#include "link/TextList.h"

namespace
{

const ReferenceListInfo kLists[] = {
    {ReferenceList::VehicleTypes, KwpAction::RetrieveVehicleTypes, "vehicletypes", "vehicletype",
     Control::BasicVehicleTypes, "RetrieveVehicleTypes.xml"},
    {ReferenceList::Indications, KwpAction::RetrieveIndications, "indications", "indication", Control::BasicIndications,
     "RetrieveIndications.xml"},
    {ReferenceList::AccessibilityEquipments, KwpAction::RetrieveAccessibilityEquipments, "accessibilityequipments",
     "accessibilityequipment", Control::BasicAccessibilityEquipments, "RetrieveAccessibilityEquipments.xml"},
    {ReferenceList::Products, KwpAction::RetrieveProducts, "products", "product", Control::BasicProducts,
     "RetrieveProducts.xml"},
};

const QString kStatusTag = QStringLiteral("status");
const QString kNameTag = QStringLiteral("name");
const QString kIdTag = QStringLiteral("id");
const QString kAccepted = QStringLiteral("200");

} // namespace

const ReferenceListInfo &referenceListInfo(ReferenceList list)
{
    return kLists[static_cast<int>(list)];
}

bool FetchReferenceList(OperationContext &ctx, ReferenceList list)
{
    const ReferenceListInfo &info = referenceListInfo(list);
    const QString action = QString::fromLatin1(info.action);
    Controls &controls = ctx.controls;

    const QString request = BuildRetrieveRequest(controls, action);
    // The reply is held once, in its joined form, by the result list and here alike.
    TextList reply;
    reply.setText(ctx.service(controls.text(Control::xSoapServer))->xmlRequest(request));
    const QString joined = reply.text();
    ctx.resultList.setText(joined);
    if (ReadXMLValue(joined, kStatusTag) != kAccepted)
        return false;
    if (ReadXMLValue(joined, kNameTag) != action)
        return false;

    // The copy stands for the list as it is now: refreshed every quarter of an hour, it replaces the last one.
    WriteDocumentCopy(controls, ctx.folders.backupsInDir, QString::fromLatin1(info.copyFile), joined,
                      CopyNaming::ReplaceEarlier);

    // The vehicle types are emptied before the reply is parsed, the other lists are replaced only once it parsed:
    // a malformed reply leaves the vehicle types empty and the others as they were.
    if (list == ReferenceList::VehicleTypes)
        controls.setLines(info.memo, {});

    TextList normalized;
    normalized.setText(NormalizeReply(joined));
    const QString text = normalized.text();

    controls.setText(Control::yStatus, ReadXMLValue(text, kStatusTag));
    controls.setText(Control::ySoort, ReadXMLValue(text, kNameTag));

    QStringList lines;
    ItemWalk walk(ReadXMLTag(text, QString::fromLatin1(info.container)), QString::fromLatin1(info.item));
    QString item;
    while (walk.next(item)) {
        const QString itemText = TextList(item).text();
        // Id and name are stored as the text they stand for, so a lookup with a trip's (decoded) id finds them.
        // A memo shows a value with line breaks as several lines.
        const TextList line(ReadXMLValue(itemText, kIdTag) + QLatin1Char('=') + ReadXMLValue(itemText, kNameTag));
        lines += line.lines();
    }
    controls.setLines(info.memo, lines);
    return true;
}

void RefreshReferenceLists(OperationContext &ctx)
{
    for (ReferenceList list : kReferenceListOrder) {
        FetchReferenceList(ctx, list);
        ctx.pump.processEvents();
    }
}
