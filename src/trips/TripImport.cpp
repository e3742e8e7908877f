#include "trips/TripImport.h"

#include "base/AbortToken.h"
#include "base/FormatDateTime.h"
#include "base/OperationContext.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "link/DocumentCopies.h"
#include "link/External_.h"
#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"
#include "link/TextList.h"
#include "trips/NewTripMapping.h"
#include "trips/TripChanges.h"
#include "trips/TripConfirmation.h"
#include "trips/TripValues.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace
{

const QLatin1String kInsert("INSERT");
const QLatin1String kUpdate("UPDATE");
const QLatin1String kDelete("DELETE");
const QLatin1String kManualReplyCopy("RetrieveTrips.xml");

enum class Origin { Service, File };

// The trip id as it stands in a copy's file name. A character that may not stand in a file name is replaced, so
// a trip id cannot point a copy elsewhere; a long id is cut, with a fingerprint of the whole id, so the name stays
// well within the file system's limit (255 bytes) whatever the id.
QString fileNamePart(const QString &text)
{
    constexpr qsizetype kMaxBytes = 120;
    QString out = text;
    for (QChar &c : out) {
        if (c.unicode() < 0x20 || QStringView(u"/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    }
    if (out.toUtf8().size() <= kMaxBytes)
        return out;
    const QString fingerprint = QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
    QString cut;
    for (qsizetype i = 0; i < out.size();) {
        const qsizetype step = out.at(i).isHighSurrogate() && i + 1 < out.size() ? 2 : 1;
        const QString next = out.mid(i, step);
        if ((cut + next).toUtf8().size() > kMaxBytes - 1 - fingerprint.size())
            break;
        cut += next;
        i += step;
    }
    return cut + QLatin1Char('~') + fingerprint;
}

void writeTripCopy(OperationContext &ctx, const char *kind, const QString &idText, const QString &tripText)
{
    if (!ctx.controls.checked(Control::BackupsMaken))
        return;
    const QString name = QLatin1String("RetrieveTrips_") + QLatin1String(kind) + QLatin1Char('_') +
                         fileNamePart(idText) + QLatin1Char('_') +
                         FormatDateTime(QLatin1String(kTripFilePattern), ctx.clock.now()) + QLatin1String(".xml");
    WriteDayCopy(ctx.controls, ctx.folders.backupsInDir, ctx.clock.now().date(), name, TextList(tripText).text());
}

// The trip id as a log line shows it: a very long id is cut.
QString idForLog(const QString &idText)
{
    constexpr qsizetype kShown = 40;
    return idText.size() <= kShown ? idText : idText.left(kShown) + QStringLiteral("...");
}

// The log line of a trip that could not be handled.
QString tripFailure(const QString &idText, const QString &message)
{
    return QStringLiteral("Rit ID %1 is niet verwerkt: %2").arg(idForLog(idText), message);
}

// Whether the copy folders can be written to: when they cannot, every trip would fail the same way, and the walk
// ends as for any other failure of the whole cycle.
bool copyFoldersUsable(const OperationContext &ctx)
{
    for (const QString &folder : {ctx.folders.backupsInDir, ctx.folders.backupsUitDir}) {
        const QFileInfo info(folder);
        if (!info.isDir() || !info.isWritable())
            return false;
    }
    return true;
}

void handleTrip(OperationContext &ctx, TemporaryKeys &keys, const QString &item, Origin origin, CycleOutcome &outcome)
{
    const bool manual = origin == Origin::File;
    ctx.controls.setText(Control::yRitID, TripIdText(item));
    TripTexts trip;
    trip.trip = item;
    trip.client = ReadXMLTag(item, QStringLiteral("client"));
    if (!trip.client.isEmpty())
        trip.trip.remove(trip.client);
    const QString action = ReadXMLValue(trip.trip, QStringLiteral("tripaction"));
    ctx.controls.setText(Control::yActie, action);
    const QString kind = action.toUpper();
    const QString idText = TripIdText(trip.trip);
    const char *copyKind = kind == kInsert ? "INS" : kind == kUpdate ? "UPD" : kind == kDelete ? "DEL" : nullptr;
    // Any other action: the trip is neither stored nor confirmed.
    if (!copyKind) {
        ++outcome.refused;
        return;
    }

    // What goes wrong with this trip alone (its copy, a value that does not convert, its own row refused by the
    // database) is logged with its id and leaves it unconfirmed, so the service offers it again; the trips after
    // it are handled as usual. A database that cannot be reached, a setting that does not convert, a full disk,
    // copy folders that cannot be written and a service that does not answer end the walk.
    try {
        if (!manual)
            writeTripCopy(ctx, copyKind, idText, trip.trip);
        qint32 tripNumber = 0;
        if (!WholeTripNumber(idText, tripNumber)) {
            ctx.logError(
                QStringLiteral("Rit ID %1 is geen geldig ritnummer; de rit is niet verwerkt.").arg(idForLog(idText)));
            ++outcome.refused;
            return;
        }
        if (kind == kInsert) {
            bool alreadyStored = false;
            const int rideId = MapNewTrip(ctx, keys, trip, manual, &alreadyStored);
            ++(alreadyStored ? outcome.alreadyStored : outcome.stored);
            if (!manual && ctx.controls.checked(Control::xBevestigen)) {
                ConfirmTrip(ctx, idText, QString::number(rideId));
                ++outcome.confirmed;
            }
        } else if (kind == kUpdate) {
            const ChangeResult result = ApplyChange(ctx, keys, trip, manual);
            ++(result.rideFound ? outcome.changed : outcome.added);
            outcome.confirmed += result.confirmed ? 1 : 0;
        } else {
            const ChangeResult result = ApplyCancellation(ctx, trip);
            ++(result.rideFound ? outcome.cancelled : outcome.notFound);
            outcome.confirmed += result.confirmed ? 1 : 0;
        }
    } catch (const SettingError &) {
        throw;
    } catch (const DiskError &) {
        throw; // a full disk is every trip's, not this one's
    } catch (const DatabaseError &e) {
        if (!ctx.db.isOpen() || AbortToken::program().tripped())
            throw;
        ctx.logError(tripFailure(idText, e.message()));
        ++outcome.refused;
    } catch (const FileError &e) {
        if (!copyFoldersUsable(ctx))
            throw;
        ctx.logError(tripFailure(idText, e.message()));
        ++outcome.refused;
    } catch (const ConversionError &e) {
        ctx.logError(tripFailure(idText, e.message()));
        ++outcome.refused;
    } catch (const XmlParseError &e) {
        ctx.logError(tripFailure(idText, e.message()));
        ++outcome.refused;
    }
}

// Reads the trips of an accepted reply and handles them one after another. A failure of one trip is that trip's
// alone (handleTrip); any other error ends the walk with one log line, and the trips before it stay handled.
void processReply(OperationContext &ctx, TemporaryKeys &keys, Origin origin, CycleOutcome &outcome)
{
    // The tables' columns are learned once for the whole reply; a column added or removed meanwhile counts from
    // the next one.
    ctx.db.forgetColumns();
    try {
        QString reply;
        if (origin == Origin::Service) {
            // A large reply is held as UTF-8 while it is read again, and the result list lets go of it: the text,
            // its normalised form and the trip list are never all in memory at once.
            QByteArray utf8 = ctx.resultList.text().toUtf8();
            ctx.resultList.clear();
            reply = NormalizeReply(std::move(utf8));
        } else {
            reply = ctx.resultList.text();
        }
        ctx.controls.setText(Control::yStatus, ReadXMLValue(reply, QStringLiteral("status")));
        ctx.controls.setText(Control::ySoort, ReadXMLValue(reply, QStringLiteral("name")));
        // A large reply is held once, as the trip list (cut out of the reply in place), while the trips are handled.
        QString tripList = TakeXMLTag(std::move(reply), QStringLiteral("triplist"));
        ItemWalk walk(std::move(tripList), QStringLiteral("trip"));
        QString item;
        for (;;) {
            ctx.pump.processEvents();
            if (!walk.next(item))
                break;
            handleTrip(ctx, keys, item, origin, outcome);
        }
    } catch (const VoranoError &e) {
        ctx.logError(e.message());
    } catch (const std::exception &e) {
        ctx.logError(QString::fromUtf8(e.what()));
    }
}

// The number of trips in a reply, without handling them.
int CountTrips(const QString &replyText)
{
    QString tripList = TakeXMLTag(NormalizeReply(replyText), QStringLiteral("triplist"));
    ItemWalk walk(std::move(tripList), QStringLiteral("trip"));
    QString item;
    int count = 0;
    while (walk.next(item))
        ++count;
    return count;
}

QString withoutTabs(QString text)
{
    text.remove(QLatin1Char('\t'));
    return text;
}

// The text of a saved reply in whichever of the usual encodings it was saved (UTF-8, UTF-16, single-byte).
QString readReplyFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Kan bestand %1 niet openen. %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(QStringLiteral("Fout bij het lezen van %1. %2").arg(path, file.errorString()));
    const QString text = DecodeDocumentText(bytes);
    if (text.trimmed().isEmpty())
        throw FileError(QStringLiteral("Bestand %1 is leeg.").arg(path));
    if (text.contains(QChar(0)))
        throw FileError(QStringLiteral("Bestand %1 is geen tekstbestand.").arg(path));
    return text;
}

} // namespace

CycleOutcome TripImport::runRetrievalCycle(OperationContext &ctx)
{
    CycleOutcome outcome;
    const QString action = QLatin1String(KwpAction::RetrieveTrips);
    const QString request = BuildRetrieveRequest(ctx.controls, action);
    QString reply;
    {
        std::unique_ptr<External_> stub = ctx.service(ctx.controls.text(Control::xSoapServer));
        reply = stub->xmlRequest(request);
    }
    ctx.resultList.setText(withoutTabs(std::move(reply)));
    if (!ReplyAccepted(ctx.resultList.text(), action, true))
        return outcome;
    if (!ctx.controls.checked(Control::xVerwerken)) {
        // Said at every retrieval that brings trips: a setting left off would otherwise drop them without a word.
        outcome.dropped = CountTrips(ctx.resultList.text());
        if (outcome.dropped > 0)
            ctx.logAt(LogLevel::Warning,
                      QStringLiteral("%1 opgehaalde rit(ten) niet verwerkt: \"Ritten verwerken naar centrale agenda\" "
                                     "staat uit.")
                          .arg(outcome.dropped));
        return outcome;
    }
    processReply(ctx, m_keys, Origin::Service, outcome);
    return outcome;
}

void TripImport::runManualProcessing(OperationContext &ctx, const ChooseReplyFile &chooseFile)
{
    const QString path = chooseFile ? chooseFile() : QString();
    if (path.isEmpty())
        return;
    ctx.resultList.setText(withoutTabs(readReplyFile(path)));
    if (!ReplyAccepted(ctx.resultList.text(), QLatin1String(KwpAction::RetrieveTrips), true))
        return;
    WriteDocumentCopy(ctx.controls, ctx.folders.backupsInDir, kManualReplyCopy, ctx.resultList.text(),
                      CopyNaming::ReplaceEarlier); // holds the last file processed
    if (!ctx.controls.checked(Control::xVerwerken))
        return;
    CycleOutcome outcome;
    processReply(ctx, m_keys, Origin::File, outcome);
}
