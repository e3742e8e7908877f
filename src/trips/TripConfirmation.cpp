#include "trips/TripConfirmation.h"

#include "base/FormatDateTime.h"
#include "base/OperationContext.h"
#include "link/DocumentCopies.h"
#include "link/External_.h"
#include "link/KwpDocument.h"
#include "link/TextList.h"
#include "link/XmlText.h"

void ConfirmTrip(OperationContext &ctx, const QString &tripIdText, const QString &externalId)
{
    // The id was decoded when it was read; escaped again it goes back as the service wrote it.
    const QString parameters = QLatin1String("<triplist><trip><id>") + EscapeXmlText(tripIdText) +
                               QLatin1String("</id><externalID>") + EscapeXmlText(externalId) +
                               QLatin1String("</externalID></trip></triplist>");
    const QString action = QLatin1String(KwpAction::ConfirmTrips);
    const QString request = BuildRequest(ctx.controls, KwpVersion(action), action, parameters);
    std::unique_ptr<External_> stub = ctx.service(ctx.controls.text(Control::xSoapServer));
    const TextList reply(stub->xmlRequest(request));
    stub.reset();
    WriteDayCopy(ctx.controls, ctx.folders.backupsUitDir, ctx.clock.now().date(),
                 QLatin1String("OstrelResult") + FormatDateTime(QLatin1String(kReplyFilePattern), ctx.clock.now()) +
                     QLatin1String(".xml"),
                 reply.text());
}
