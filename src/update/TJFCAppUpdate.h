#pragma once

#include "update/UpdatePrompts.h"
#include "update/UpdateTypes.h"

#include <QString>

#include <functional>

// The section of the update manifest read for this program: the program file name cut before its first ".".
QString UpdateSectionNameFor(const QString &programFile);
// Program-wide; set by every construction of the update component.
extern QString UpdateSectionName;

// Shows the update dialog for one check and returns when it has closed (the download, if any, has then ended).
using NotifyBoxPresenter = std::function<void(TJFCAppUpdateNotifyState &)>;

// Asks the update server whether a newer version of the program exists and, when it does, shows the update dialog
// with the release notes.
class TJFCAppUpdate
{
  public:
    TJFCAppUpdate(UpdatePrompts &prompts, NotifyBoxPresenter presenter);

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
    // A request that receives nothing for this long fails.
    int transferTimeoutMs = 60000;

    // True when the manifest lists a version newer than Version, whatever the user then does. Silent suppresses the
    // messages saying that there is none. A check asked for while one runs returns false at once.
    bool CheckForUpdate(bool Silent);

  private:
    UpdatePrompts &m_prompts;
    NotifyBoxPresenter m_presenter;
};

// The main window's update settings: its fonts, its update server and web site, and the program's version.
void ConfigureMainWindowUpdate(TJFCAppUpdate &update, const QString &version);
