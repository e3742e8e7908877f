// Manual processing of a saved reply: the input is the file the user picks. It is read and judged as the import
// does (its encodings, the status and the action), and the trips of an accepted reply are mapped as from a file.
#include "FuzzSupport.h"
#include "TripFuzz.h"
#include "base/OperationContext.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"
#include "link/TextList.h"
#include "settings/MemoryControls.h"
#include "trips/TripImport.h"

#include <QDir>

namespace
{

// A few trips of a list are enough: the settings and kinds of change vary with the input, not only with the index.
constexpr int kMaxTrips = 8;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static MemoryControls controls; // xVerwerken off: read and judge, nothing stored
    static DispatchDb db(controls, QDir::tempPath());
    static NoEventPump pump;
    static FixedClock clock(QDateTime(QDate(2015, 3, 31), QTime(7, 5)));
    static TripImport import;
    TextList resultList;
    OperationContext ctx{
        controls, {}, db, pump, clock, ProgramFolders::under(QDir::tempPath()), resultList, [](const QString &) {}};

    const QString path = fuzzFile(fuzzBytes(data, size));
    try {
        import.runManualProcessing(ctx, [&] { return path;
    });
}
catch (const VoranoError &)
{
    return 0;
}
const QString reply = resultList.text();
if (!ReplyAccepted(reply, QStringLiteral("RetrieveTrips"), true))
    return 0;
ItemWalk walk(ReadXMLTag(reply, QStringLiteral("triplist")), QStringLiteral("trip"));
QString item;
for (int i = 0; i < kMaxTrips && walk.next(item); ++i)
    fuzzTrip(item, uchar(i + int(size)), true);
return 0;
}
