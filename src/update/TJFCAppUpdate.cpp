#include "update/TJFCAppUpdate.h"

#include "base/VoranoError.h"
#include "update/IniProfile.h"
#include "update/ManifestRules.h"
#include "update/ReleaseSignature.h"
#include "base/AbortToken.h"
#include "update/UpdateHttpClient.h"
#include "update/UpdateText.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <exception>

QString UpdateSectionName;

namespace
{

const QString kFailedPrefix = QStringLiteral("Mislukt: ");
const QString kNoNewVersion = QStringLiteral("Er is geen nieuwe versie beschikbaar.");
const QString kOpenWebsite = QStringLiteral("Wenst u de website te openen?");
const QString kSqlCaption = QStringLiteral("SQL scripts controle is mislukt");
const QString kSqlText1 = QStringLiteral("U kunt de beschikbare update momenteel niet installeren.");
const QString kSqlText2 = QStringLiteral(
    "Taxis Vorano  beschikt niet over de juiste database versie en u moet vooraf de SQL scripts uitvoeren.");
const QString kSqlText3 = QStringLiteral("Noodzakelijke versie SQL scripts: ");
const QString kCrLf = QStringLiteral("\r\n");
const QString kSignatureSuffix = QStringLiteral(".sig");
const QString kCheckFailed = QStringLiteral("Updatecontrole: ");
const QString kUntrusted = QStringLiteral(
    "Updatecontrole: het updatebestand is niet ondertekend met een vertrouwde sleutel; er wordt niets gedownload.");
const QString kManifestTooLarge =
    QStringLiteral("Updatecontrole: het updatebestand is groter dan 64 KB en wordt niet gelezen.");
const QString kNotesTooLarge =
    QStringLiteral("Updatecontrole: de release notes zijn groter dan 1 MB en worden niet getoond.");
const QString kNotesUnsigned = QStringLiteral(
    "Updatecontrole: de release notes zijn niet ondertekend (geen ReadmeSHA256) en worden niet getoond.");
const QString kNotesTampered = QStringLiteral(
    "Updatecontrole: de release notes komen niet overeen met de ondertekende SHA-256 en worden niet getoond.");
const QString kOwnVersionUnknown =
    QStringLiteral("Updatecontrole: de eigen versie \"%1\" van het programma is onbekend; er wordt niets aangeboden.");
const QString kDowngrade = QStringLiteral(
    "Updatecontrole: versie %1 op de updateserver is ouder dan de geïnstalleerde versie %2 en wordt niet aangeboden.");

const QString kMainWindowUpdateFileURL = QStringLiteral("https://update.vorano.nl/liveupdate/VoranoOstrel/Updates.txt");
const QString kMainWindowUpdatePageURL = QStringLiteral("https://www.vorano.nl");

bool g_checkRunning = false;

// A temporary file "AU..." in the user's temporary folder, removed when it goes out of scope on every path.
std::unique_ptr<QTemporaryFile> newTemporaryFile()
{
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/AUXXXXXX.tmp"));
    if (!file->open())
        throw FileError(QStringLiteral("Kan geen tijdelijk bestand aanmaken in ") + QDir::tempPath());
    return file;
}

QString failedLine(const HttpResult &r)
{
    return kFailedPrefix + QString::number(r.statusCode) + QLatin1Char(' ') + r.reasonPhrase;
}

} // namespace

QString UpdateSectionNameFor(const QString &programFile)
{
    const QString name = QFileInfo(programFile).fileName();
    return name.left(name.indexOf(QLatin1Char('.')));
}

TJFCAppUpdate::TJFCAppUpdate(UpdatePrompts &prompts, NotifyBoxPresenter presenter, NetworkConnections &network,
                             AbortToken &stop, ErrorHook logError, UpdateTrust trust)
    : ProgramFile(QCoreApplication::applicationFilePath())
    , m_prompts(prompts)
    , m_presenter(std::move(presenter))
    , m_network(network)
    , m_stop(stop)
    , m_logError(std::move(logError))
    , m_trust(std::move(trust))
{
    UpdateSectionName = UpdateSectionNameFor(ProgramFile);
}

QString TJFCAppUpdate::programFolder() const
{
    return QFileInfo(ProgramFile).absolutePath();
}

bool TJFCAppUpdate::refuse(const QString &text, bool silent)
{
    if (m_logError)
        m_logError(text);
    if (!silent)
        m_prompts.error(text);
    return false;
}

bool TJFCAppUpdate::CheckForUpdate(bool Silent)
{
    if (g_checkRunning || m_stop.tripped())
        return false;
    g_checkRunning = true;
    struct Reset {
        ~Reset() { g_checkRunning = false; }
    } reset;

    bool result = true;
    TJFCAppUpdateNotifyState box;
    box.font = Font;
    box.fontReadme = FontReadme;
    box.proxyHost = ProxyAddress;
    box.proxyPort = ProxyPort;
    box.FileSizeUnit = FileSizeUnit;
    box.HashType = HashType;
    box.programFolder = programFolder();
    box.extraCaCertificates = m_trust.extraCaCertificates;
    box.network = &m_network;
    box.stop = &m_stop;

    UpdateHttpClient client(m_network, m_stop);
    client.ProxyHost = ProxyAddress;
    client.ProxyPort = ProxyPort;
    client.transferTimeoutMs = transferTimeoutMs;
    client.overallTimeoutMs = overallTimeoutMs;
    client.extraCaCertificates = m_trust.extraCaCertificates;

    // Fetches url into a temporary file and hands its bytes to use. An HTTP failure puts its line in the memo, a
    // body over the limit leaves the result to the caller (tooLarge), other errors go on up after the file is gone.
    bool tooLarge = false;
    auto fetch = [&](const QString &url, qint64 limit, const std::function<void(const QByteArray &)> &use) {
        auto file = newTemporaryFile();
        client.maxBodyBytes = limit;
        const HttpResult r = client.get(url, file.get());
        file->close();
        if (r.closing)
            return;
        tooLarge = r.tooLarge;
        if (r.outcome == HttpResult::Outcome::HttpFailure) {
            box.readme = failedLine(r);
            result = false;
            if (m_logError)
                m_logError(kCheckFailed + failedLine(r));
        } else if (r.outcome == HttpResult::Outcome::OtherError && !r.tooLarge) {
            throw TransportError(r.errorText);
        }
        if (result && !tooLarge && file->open()) {
            const QByteArray bytes = file->readAll();
            file->close();
            use(bytes);
        }
    };

    if (!UpdateFileURL.isEmpty()) {
        QByteArray manifestBytes;
        bool fetched = false;
        std::exception_ptr escaped;
        try {
            fetch(UpdateFileURL, kMaxManifestBytes, [&](const QByteArray &bytes) {
                manifestBytes = bytes;
                fetched = true;
            });
        } catch (...) {
            escaped = std::current_exception();
        }
        if (client.closing())
            return false;
        if (escaped)
            std::rethrow_exception(escaped);
        if (tooLarge)
            return refuse(kManifestTooLarge, Silent);

        if (fetched) {
            // The signature decides whether the manifest is read at all.
            QBuffer signatureFile;
            signatureFile.open(QIODevice::WriteOnly);
            client.maxBodyBytes = kMaxSignatureBytes;
            const HttpResult r = client.get(UpdateFileURL + kSignatureSuffix, &signatureFile);
            if (r.closing || client.closing())
                return false;
            const QByteArray signature = r.ok() ? ParseSignatureFile(signatureFile.data()) : QByteArray();
            if (!VerifyEd25519Any(manifestBytes, signature, m_trust.releaseKeys))
                return refuse(kUntrusted, Silent);

            const QString text = DecodeText(manifestBytes);
            const QString refusal = ManifestRefusal(text, UpdateSectionName, QDateTime::currentDateTimeUtc());
            if (!refusal.isEmpty())
                return refuse(refusal, Silent);
            auto key = [&](const char *name) {
                return ReadProfileString(text, UpdateSectionName, QLatin1String(name));
            };
            TJFCAppUpdateManifest &m = box.manifest;
            m.DownloadFileURL = key("DownloadFileURL");
            m.ReadmeFileURL = key("ReadmeFileURL");
            m.UpdatePageURL = key("UpdatePageURL");
            m.Version = key("Version");
            m.SQLVersion = key("SQLVersion");
            m.CRC32Hash = key("CRC32Hash");
            m.MD5Hash = key("MD5Hash");
            m.SHA1Hash = key("SHA1Hash");
            m.SHA256Hash = key("SHA256Hash");
            m.ReadmeSHA256 = key(kReadmeSha256Key);
            m.FileSize = key("FileSize");
            // The manifest's web page is opened only when it is on the update server itself.
            if (!m.UpdatePageURL.isEmpty() && !SameWebHost(m.UpdatePageURL, UpdateFileURL))
                m.UpdatePageURL.clear();
        }
        if (box.manifest.UpdatePageURL.isEmpty())
            box.manifest.UpdatePageURL = UpdatePageURL;
    }

    // The notes may come from any web server: they are shown only when the signed manifest names their SHA-256.
    const QString notesRefusal = NotesAddressRefusal(box.manifest.ReadmeFileURL);
    if (!notesRefusal.isEmpty()) {
        if (m_logError)
            m_logError(notesRefusal);
    } else if (!box.manifest.ReadmeFileURL.isEmpty() && !IsSha256Text(box.manifest.ReadmeSHA256)) {
        if (m_logError)
            m_logError(kNotesUnsigned);
    } else if (!box.manifest.ReadmeFileURL.isEmpty()) {
        fetch(box.manifest.ReadmeFileURL, kMaxReleaseNotesBytes, [&](const QByteArray &bytes) {
            const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
            if (QString::fromLatin1(hash).compare(box.manifest.ReadmeSHA256, Qt::CaseInsensitive) == 0)
                box.readme = DecodeText(bytes);
            else if (m_logError)
                m_logError(kNotesTampered);
        });
        if (client.closing())
            return false;
        if (tooLarge && m_logError)
            m_logError(kNotesTooLarge);
    }

    box.downloadEnabled = !box.manifest.DownloadFileURL.isEmpty();

    bool newer = false;
    if (!box.manifest.Version.isEmpty()) {
        const auto offered = ParseVersionNumbers(box.manifest.Version);
        const auto own = ParseVersionNumbers(Version);
        if (!offered)
            return refuse(VersionRefusal(box.manifest.Version), Silent);
        if (!own)
            return refuse(kOwnVersionUnknown.arg(Version), Silent);
        newer = *own < *offered;
        if (*offered < *own && m_logError)
            m_logError(kDowngrade.arg(box.manifest.Version, Version));
    }

    if (newer) {
        result = true;
        if (CompareVersionText(SQLVersion, box.manifest.SQLVersion) < 0) {
            m_prompts.warning(kSqlCaption, kSqlText1 + kCrLf + kCrLf + kSqlText2 + kCrLf + kCrLf + kSqlText3 +
                                               box.manifest.SQLVersion);
        } else {
            m_presenter(box);
        }
        return result;
    }

    result = false;
    if (!Silent) {
        if (!box.manifest.Version.isEmpty() || box.manifest.UpdatePageURL.isEmpty()) {
            m_prompts.information(kNoNewVersion);
        } else if (m_prompts.question(kNoNewVersion + QLatin1Char('\r') + kOpenWebsite) &&
                   IsWebAddress(box.manifest.UpdatePageURL) && !client.closing()) {
            // The address may come from the manifest: never hand the desktop anything but a web page.
            m_prompts.openUrl(box.manifest.UpdatePageURL);
        }
    }
    return result;
}

void ConfigureMainWindowUpdate(TJFCAppUpdate &update, const QString &version)
{
    update.FileSizeUnit = TJFCAppUpdateFileSizeUnit::Auto;
    update.Font = UpdateFont{QStringLiteral("Segoe UI"), 9, false};
    update.FontReadme = UpdateFont{QStringLiteral("Arial"), 9, true};
    update.HashType = THashType::None;
    update.ProxyAddress.clear();
    update.ProxyPort = QStringLiteral("80");
    update.UpdateFileURL = kMainWindowUpdateFileURL;
    update.UpdatePageURL = kMainWindowUpdatePageURL;
    update.Version = version;
}
