#include "update/TJFCAppUpdate.h"

#include "base/VoranoError.h"
#include "update/IniProfile.h"
#include "update/UpdateHttpClient.h"
#include "update/UpdateText.h"

#include <QCoreApplication>
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

const QString kMainWindowUpdateFileURL = QStringLiteral("http://update.vorano.nl/liveupdate/VoranoOstrel/Updates.txt");
const QString kMainWindowUpdatePageURL = QStringLiteral("http://www.vorano.nl");

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

TJFCAppUpdate::TJFCAppUpdate(UpdatePrompts &prompts, NotifyBoxPresenter presenter)
    : ProgramFile(QCoreApplication::applicationFilePath())
    , m_prompts(prompts)
    , m_presenter(std::move(presenter))
{
    UpdateSectionName = UpdateSectionNameFor(ProgramFile);
}

QString TJFCAppUpdate::programFolder() const
{
    return QFileInfo(ProgramFile).absolutePath();
}

bool TJFCAppUpdate::CheckForUpdate(bool Silent)
{
    if (g_checkRunning)
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

    UpdateHttpClient client;
    client.ProxyHost = ProxyAddress;
    client.ProxyPort = ProxyPort;
    client.transferTimeoutMs = transferTimeoutMs;

    // Fetches url into a temporary file; an HTTP failure puts its line in the memo, other errors go on up after the
    // file is gone.
    auto fetch = [&](const QString &url, const std::function<void(const QString &path)> &use) {
        auto file = newTemporaryFile();
        const HttpResult r = client.get(url, file.get());
        file->close();
        if (r.outcome == HttpResult::Outcome::HttpFailure) {
            box.readme = failedLine(r);
            result = false;
        } else if (r.outcome == HttpResult::Outcome::OtherError) {
            throw TransportError(r.errorText);
        }
        if (result && QFileInfo::exists(file->fileName()))
            use(file->fileName());
    };

    if (!UpdateFileURL.isEmpty()) {
        std::exception_ptr escaped;
        try {
            fetch(UpdateFileURL, [&](const QString &path) {
                auto key = [&](const char *name) {
                    return GetPrivateProfileString(UpdateSectionName, QLatin1String(name), path);
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
            });
        } catch (...) {
            escaped = std::current_exception();
        }
        if (box.manifest.UpdatePageURL.isEmpty())
            box.manifest.UpdatePageURL = UpdatePageURL;
        if (escaped)
            std::rethrow_exception(escaped);
    }

    if (!box.manifest.ReadmeFileURL.isEmpty()) {
        fetch(box.manifest.ReadmeFileURL, [&](const QString &path) {
            QFile notes(path);
            if (notes.open(QIODevice::ReadOnly))
                box.readme = DecodeText(notes.readAll());
        });
    }

    box.downloadEnabled = !box.manifest.DownloadFileURL.isEmpty();

    if (CompareVersionText(Version, box.manifest.Version) < 0) {
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
                   IsWebAddress(box.manifest.UpdatePageURL)) {
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
