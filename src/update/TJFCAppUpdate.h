#pragma once

#include "base/OperationContext.h"
#include "update/UpdatePrompts.h"
#include "update/UpdateTrust.h"
#include "update/UpdateTypes.h"

#include <QString>

#include <functional>

// The section of the update manifest read for this program: the program file name cut before its first ".".
QString UpdateSectionNameFor(const QString &programFile);
// Program-wide; set by every construction of the update component.
extern QString UpdateSectionName;

// Shows the update dialog for one check and returns when it has closed (the download, if any, has then ended).
using NotifyBoxPresenter = std::function<void(TJFCAppUpdateNotifyState &)>;

// The most the check reads of the manifest, its signature and the release notes.
inline constexpr qint64 kMaxManifestBytes = 64 * 1024;
inline constexpr qint64 kMaxSignatureBytes = 4 * 1024;
inline constexpr qint64 kMaxReleaseNotesBytes = 1024 * 1024;

// Asks the update server whether a newer version of the program exists and, when it does, shows the update dialog
// with the release notes. Only a manifest signed with one of the trusted release keys is read (its signature is
// the file at the manifest's address + ".sig"), and only a version above the running program's own is offered.
// Refusals go to logError as one line each (and into a message box unless the check is silent).
class TJFCAppUpdate
{
  public:
    // Its requests go over network; stop ends them.
    TJFCAppUpdate(UpdatePrompts &prompts, NotifyBoxPresenter presenter, NetworkConnections &network, AbortToken &stop,
                  ErrorHook logError = {}, UpdateTrust trust = UpdateTrust::BuiltIn());

    TJFCAppUpdateFileSizeUnit FileSizeUnit = TJFCAppUpdateFileSizeUnit::Auto;
    UpdateFont Font{QStringLiteral("Segoe UI"), 9, false};
    UpdateFont FontReadme{QStringLiteral("Calibri"), 9, false};
    THashType HashType = THashType::None;
    QString ProxyAddress;
    QString ProxyPort = QStringLiteral("80");
    QString UpdateFileURL;
    QString UpdatePageURL;
    QString Version;
    QString SQLVersion;

    // Where the running program lives: TempDownloads, the updater and the backup copy are found from it.
    QString ProgramFile;
    QString programFolder() const;
    // A request that receives nothing for this long fails, and so does one that has not ended after the overall
    // limit.
    int transferTimeoutMs = 60000;
    int overallTimeoutMs = 120000;

    // True when the manifest lists a version newer than Version, whatever the user then does. Silent suppresses the
    // messages saying that there is none. A check asked for while one runs returns false at once.
    bool CheckForUpdate(bool Silent);

  private:
    bool refuse(const QString &text, bool silent);

    UpdatePrompts &m_prompts;
    NotifyBoxPresenter m_presenter;
    NetworkConnections &m_network;
    AbortToken &m_stop;
    ErrorHook m_logError;
    UpdateTrust m_trust;
};

// The main window's update settings: its fonts, its update server and web site, and the program's version.
void ConfigureMainWindowUpdate(TJFCAppUpdate &update, const QString &version);
