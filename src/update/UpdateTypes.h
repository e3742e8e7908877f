#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

enum class TJFCAppUpdateFileSizeUnit { Auto, Bytes, KiloBytes, MegaBytes, GigaBytes };
enum class THashType { None, CRC32, MD5, SHA1 };

// The font attributes the update component hands to its dialogs (the dialog maps them onto a real font, in the
// colour of tooltip text).
struct UpdateFont {
    QString Name;
    int Size = 9;
    bool AnsiCharset = false;
    bool operator==(const UpdateFont &) const = default;
};

// The values of the program's section of the update manifest.
struct TJFCAppUpdateManifest {
    QString DownloadFileURL;
    QString ReadmeFileURL;
    QString UpdatePageURL;
    QString Version;
    QString SQLVersion;
    QString CRC32Hash;
    QString MD5Hash;
    QString SHA1Hash;
    QString SHA256Hash; // of the download, 64 hexadecimal digits: always verified before the hand-over
    QString FileSize;   // of the download in bytes, when named: the server must announce exactly this size
    QString ReadmeSHA256; // of the release notes: notes that do not match are not shown
};

// Everything the update dialog holds for one check: the manifest values, the release notes and the settings copied
// from the component.
class AbortToken;
class NetworkConnections;

struct TJFCAppUpdateNotifyState {
    TJFCAppUpdateManifest manifest;
    QString readme; // ReadmeMemo's text: the release notes, or one "Mislukt: " line
    bool downloadEnabled = false;
    TJFCAppUpdateFileSizeUnit FileSizeUnit = TJFCAppUpdateFileSizeUnit::Auto;
    THashType HashType = THashType::None;
    QString proxyHost;
    QString proxyPort;
    UpdateFont font;
    UpdateFont fontReadme;
    QString programFolder;                      // TempDownloads and the updater are found here
    QList<QSslCertificate> extraCaCertificates; // authorities trusted beside the system's
    NetworkConnections *network = nullptr;      // the program's, over which the download goes
    AbortToken *stop = nullptr;                 // the program's stop, which ends the download
};
