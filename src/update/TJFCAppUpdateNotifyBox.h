#pragma once

#include "base/OperationContext.h"
#include "update/TJFCAppUpdate.h"
#include "update/UpdateTypes.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QToolButton;
class UpdateHttpClient;
class UpdatePrompts;

// "Er is een nieuwe versie van de software beschikbaar": the release notes and the buttons to download and install
// the new version, to open the web page, and to close. It exists for one check.
class TJFCAppUpdateNotifyBox : public QDialog
{
    Q_OBJECT
  public:
    TJFCAppUpdateNotifyBox(TJFCAppUpdateNotifyState &state, UpdatePrompts &prompts, ErrorHook logError,
                           QWidget *parent = nullptr);
    ~TJFCAppUpdateNotifyBox() override;

    QLabel *Image1;
    QPlainTextEdit *ReadmeMemo;
    QToolButton *DownloadButton;
    QToolButton *OpenWebPageButton;
    QToolButton *ButtonSluiten;

    TJFCAppUpdateNotifyState &state;
    // A download that receives nothing for this long fails, and so does one that has not ended after the overall
    // limit (generous for a large file over a slow line, but never for ever).
    int transferTimeoutMs = 60000;
    int overallTimeoutMs = 60 * 60 * 1000;

    QString FormatFileSize(qint64 size) const;
    static QString UrlFileName(const QString &url);
    qint32 GetRemoteFileSize(UpdateHttpClient &client, const QString &url);

    void DownloadButtonClick();
    void RzToolButton1Click();
    void ButtonSluitenClick();

  private:
    void log(const QString &text);
    void guarded(void (TJFCAppUpdateNotifyBox::*handler)());

    UpdatePrompts &m_prompts;
    ErrorHook m_logError;
};

// The update dialog of the running check, if any.
extern TJFCAppUpdateNotifyBox *UpdateNotifyBox;

// Shows the update dialog modally for one check; errors escaping its buttons go to logError.
NotifyBoxPresenter MakeNotifyBoxPresenter(UpdatePrompts &prompts, ErrorHook logError);

// The file name of the external updater in the program folder.
QString UpdaterFileName();
