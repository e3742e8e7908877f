#include "feedback/SendStatus.h"

#include "base/OperationContext.h"
#include "base/VoranoError.h"
#include "feedback/LogTransactie.h"
#include "feedback/StatusDocument.h"
#include "link/DocumentCopies.h"
#include "link/External_.h"
#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"
#include "link/TextList.h"

namespace
{

QString copyName(const char *prefix, const EventRow &row)
{
    return QString::fromLatin1(prefix) + QString::number(row.pla_id) + QLatin1Char('_') +
           QString::number(row.kop_type) + QLatin1String(".xml");
}

} // namespace

StatusAnswer SendStatus(OperationContext &ctx, const EventRow &row)
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

    StatusAnswer answer;
    answer.copies.emplace(std::move(copies));
    answer.received = TextList(ctx.service(controls.text(Control::xSoapServer))->xmlRequest(sent)).text();
    answer.status = ReadXMLValue(answer.received, QStringLiteral("status"));
    return answer;
}

void RecordStatusAnswer(OperationContext &ctx, const EventRow &row, const StatusAnswer &answer)
{
    LogTransactie(ctx, 0, static_cast<int>(row.pla_id), 0, 0, kTransactieStatusAntwoord, answer.status);
}

void CopyStatusAnswer(OperationContext &ctx, const EventRow &row, StatusAnswer &answer)
{
    try {
        if (answer.copies)
            answer.copies->writeReply(answer.received);
    } catch (const VoranoError &e) {
        ctx.logAt(LogLevel::Warning,
                  QStringLiteral("Retourmelding %1 is verwerkt (antwoord %2), maar de kopie van het antwoord is niet "
                                 "bewaard: %3")
                      .arg(row.kop_id)
                      .arg(answer.status, e.message()));
    }
}
