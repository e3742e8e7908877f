// The reference lists: the input is the text a service call returns for a list. The fetch judges it, normalises
// it and fills the memo, or ends in one of our errors.
#include "FuzzSupport.h"
#include "base/OperationContext.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "link/External_.h"
#include "link/TextList.h"
#include "reference/ReferenceLists.h"
#include "reference/ReferenceLookup.h"
#include "settings/MemoryControls.h"

#include <QDir>

namespace
{

class CannedReply : public External_
{
  public:
    explicit CannedReply(QString reply)
        : m_reply(std::move(reply))
    {
    }
    QString xmlRequest(const QString &) override { return m_reply; }

  private:
    QString m_reply;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static MemoryControls controls; // BackupsMaken off: no copies
    static DispatchDb db(controls, QDir::tempPath());
    static NoEventPump pump;
    static FixedClock clock(QDateTime(QDate(2015, 3, 31), QTime(7, 5)));
    const QString reply = QString::fromUtf8(fuzzBytes(data, size));
    TextList resultList;
    OperationContext ctx{controls,   [&](const QString &) { return std::make_unique<CannedReply>(reply); },
                         db,         pump,
                         clock,      ProgramFolders::under(QDir::tempPath()),
                         resultList, [](const QString &) {}};
    for (const ReferenceList list : kReferenceListOrder) {
        try {
            if (FetchReferenceList(ctx, list)) {
                const QStringList lines = controls.lines(referenceListInfo(list).memo);
                for (const QString &line : lines)
                    fuzzCheck(!line.contains(u'\n'), "one memo line per line");
                (void)ReferenceLookup(lines, lines.isEmpty() ? QString() : lines.first().section(u'=', 0, 0));
            }
        } catch (const VoranoError &) {
        }
    }
    return 0;
}
