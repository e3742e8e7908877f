#include "feedback/SendStatus.h"

#include "base/OperationContext.h"
#include "feedback/LogTransactie.h"
#include "feedback/StatusDocument.h"
#include "link/DocumentCopies.h"
#include "link/External_.h"
#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"
#include "link/TextList.h"

namespace
{

const QString kAccepted = QStringLiteral("200");

QString copyName(const char *prefix, const EventRow &row)
{
    return QString::fromLatin1(prefix) + QString::number(row.pla_id) + QLatin1Char('_') +
           QString::number(row.kop_type) + QLatin1String(".xml");
}

} // namespace

bool SendStatus(OperationContext &ctx, const EventRow &row)
{
    Controls &controls = ctx.controls;
    const TextList document(
        BuildStatusDocument(row, controls.text(Control::xInlognaam), controls.text(Control::xPaswoord)));
    const QString sent = document.text();
    // The page and the copy show the document without the service password; the service receives it whole.
    const QString shown = MaskPassword(sent);
    controls.setLines(Control::UitgaanPakket, TextList(shown).lines());
    CopyPair copies(controls, ctx.folders.backupsUitDir, ctx.clock.now().date(), copyName("SendStatus_", row),
                    copyName("RcvdStatus_", row));
    copies.writeDocument(shown);

    const TextList reply(ctx.service(controls.text(Control::xSoapServer))->xmlRequest(sent));
    const QString received = reply.text();
    copies.writeReply(received);

    const QString status = ReadXMLValue(received, QStringLiteral("status"));
    LogTransactie(ctx, 0, static_cast<int>(row.pla_id), 0, 0, kTransactieStatusAntwoord, status);
    return status == kAccepted;
}
