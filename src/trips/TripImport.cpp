#include "trips/TripImport.h"

#include "base/AbortToken.h"
#include "base/FormatDateTime.h"
#include "base/OperationContext.h"
#include "base/VoranoError.h"
#include "db/DispatchDb.h"
#include "link/DocumentCopies.h"
#include "link/External_.h"
#include "link/KwpDocument.h"
#include "link/ReadFront.h"
#include "link/ReadXmlTag.h"
#include "link/TextList.h"
#include "trips/NewTripMapping.h"
#include "trips/TripChanges.h"
#include "trips/TripConfirmation.h"
#include "trips/TripValues.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSet>

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

// Whether a trip was handled; failed (it stays unconfirmed, to come again, and its later actions wait); or refused
// for an id that names no trip (there is no trip whose later actions could wait).
enum class TripResult { Handled, Failed, NoTrip };

QByteArray fingerprint(const QString &text)
{
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256);
}

TripResult handleTrip(OperationContext &ctx, TemporaryKeys &keys, TripImport::RefusedTrips &refused,
                      const QString &item, Origin origin, CycleOutcome &outcome)
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
        return TripResult::Handled;
    }
    // A trip refused before comes again unconfirmed at every retrieval; the same trip text keeps its one copy, and
    // the same reason is said once a day. A reply processed by hand says every refusal.
    const QByteArray print = fingerprint(trip.trip);
    const QDate today = ctx.clock.now().date();
    const bool knownRefusal = refused.contains(idText) && refused.value(idText).fingerprint == print;
    // The reason as it stays from one offer to the next: its first line, without a database's details (the row
    // it refused, with its own key), and with the action it was for.
    auto reasonOf = [&](const QString &message) {
        QString reason = message.section(QLatin1Char('\n'), 0, 0);
        const qsizetype detail = reason.indexOf(QLatin1String("DETAIL:"));
        if (detail >= 0)
            reason.truncate(detail);
        return kind + QLatin1Char(' ') + reason.trimmed();
    };
    auto refuse = [&](const QString &message, const QString &line) {
        const QString reason = reasonOf(message);
        ++outcome.refused;
        const bool known = refused.contains(idText);
        TripImport::Refusal &r = refused[idText];
        const bool said = !manual && known && r.reason == reason && r.saidOn == today;
        r = {print, reason, today};
        if (!said)
            ctx.logError(line);
    };

    // What goes wrong with this trip alone (its copy, a value that does not convert, its own row refused by the
    // database) is logged with its id and leaves it unconfirmed, so the service offers it again; the trips after
    // it are handled as usual. A database that cannot be reached, a setting that does not convert, a full disk,
    // copy folders that cannot be written and a service that does not answer end the walk.
    try {
        if (!manual && !knownRefusal)
            writeTripCopy(ctx, copyKind, idText, trip.trip);
        qint32 tripNumber = 0;
        if (!WholeTripNumber(idText, tripNumber)) {
            const QString line =
                QStringLiteral("Rit ID %1 is geen geldig ritnummer; de rit is niet verwerkt.").arg(idForLog(idText));
            // Trips without an id are not one trip offered again: each is said.
            if (idText.trimmed().isEmpty()) {
                ++outcome.refused;
                ctx.logError(line);
            } else {
                refuse(QString(), line);
            }
            return TripResult::NoTrip;
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
        if (!ctx.db.isOpen() || ctx.db.stopAsked())
            throw;
        refuse(e.message(), tripFailure(idText, e.message()));
        return TripResult::Failed;
    } catch (const FileError &e) {
        if (!copyFoldersUsable(ctx))
            throw;
        refuse(e.message(), tripFailure(idText, e.message()));
        return TripResult::Failed;
    } catch (const ConversionError &e) {
        refuse(e.message(), tripFailure(idText, e.message()));
        return TripResult::Failed;
    } catch (const XmlParseError &e) {
        refuse(e.message(), tripFailure(idText, e.message()));
        return TripResult::Failed;
    }
    refused.remove(idText);
    return TripResult::Handled;
}

// Reads the trips of an accepted reply and handles them one after another. A failure of one trip is that trip's
// alone (handleTrip); any other error ends the walk with one log line, and the trips before it stay handled.
void processReply(OperationContext &ctx, TemporaryKeys &keys, TripImport::RefusedTrips &refused, Origin origin,
                  CycleOutcome &outcome)
{
    // Trips refused before yesterday and not offered since are forgotten.
    const QDate yesterday = ctx.clock.now().date().addDays(-1);
    refused.removeIf([&](const auto &entry) { return entry.value().saidOn < yesterday; });
    // The tables' columns are learned once for the whole reply; a column added or removed meanwhile counts from
    // the next one.
    ctx.db.forgetColumns();
    try {
        QString reply;
        if (origin == Origin::Service) {
            // A large reply is held as UTF-8 while it is read again, and the result list lets go of it: the text,
            // its normalised form and the trip list are never all in memory at once, and each lets go of what
            // has been read while the next is made.
            QString text = ctx.resultList.text();
            ctx.resultList.clear();
            reply = NormalizeReply(ToUtf8Releasing(std::move(text)));
        } else {
            reply = ctx.resultList.text();
        }
        ctx.controls.setText(Control::yStatus, ReadXMLValue(reply, QStringLiteral("status")));
        ctx.controls.setText(Control::ySoort, ReadXMLValue(reply, QStringLiteral("name")));
        // A large reply is held once, as the trip list (cut out of the reply in place), while the trips are handled.
        QString tripList = TakeXMLTag(std::move(reply), QStringLiteral("triplist"));
        ItemWalk walk(std::move(tripList), QStringLiteral("trip"));
        QString item;
        // Once an action of a trip failed, its later actions in this reply wait too: a cancellation must not run
        // ahead of the new trip it cancels, nor a change make the ride that a failed new trip should have made.
        // They stay unconfirmed, and the service offers them again, in their order.
        QSet<QString> failedTrips;
        for (;;) {
            ctx.pump.processEvents();
            if (!walk.next(item))
                break;
            const QString idText = TripIdText(item);
            if (failedTrips.contains(idText)) {
                ctx.logAt(LogLevel::Warning,
                          QStringLiteral("Rit ID %1: een eerdere actie van deze rit is niet verwerkt; de actie %2 "
                                         "wacht tot de dienst de rit opnieuw aanbiedt.")
                              .arg(idForLog(idText), ReadXMLValue(item, QStringLiteral("tripaction"))));
                ++outcome.heldBack;
                continue;
            }
            if (handleTrip(ctx, keys, refused, item, origin, outcome) == TripResult::Failed)
                failedTrips.insert(idText);
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
    processReply(ctx, m_keys, m_refused, Origin::Service, outcome);
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
    processReply(ctx, m_keys, m_refused, Origin::File, outcome);
}
