#pragma once

#include "update/UpdateHttpClient.h"

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class UpdatePrompts;

// "Download nieuwe versie": file, speed, status, times, transfer and progress of the download of a new version,
// with "AFBREKEN". It exists only while the update dialog downloads.
class TJFCAppUpdateDownloadBox : public QDialog
{
    Q_OBJECT
  public:
    TJFCAppUpdateDownloadBox(UpdatePrompts &prompts, NetworkConnections &network, AbortToken &stop,
                             QWidget *parent = nullptr);
    ~TJFCAppUpdateDownloadBox() override;

    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLabel *Label9;
    QLabel *FileLabel;
    QLabel *SpeedLabel;
    QLabel *StatusLabel;
    QLabel *ElapsedTimeLabel;
    QLabel *RemainingTimeLabel;
    QLabel *TransferLabel;
    QProgressBar *ProgressBar1;
    QPushButton *CancelButton;
    QLabel *Image1;
    QTimer *Timer1;
    UpdateHttpClient HttpCli1;
    QElapsedTimer StartTime;
    qint64 maximum = 0;       // the size announced by the server
    bool downloading = false; // while the transfer runs: closing the dialog asks to cancel it

    void HttpCli1DocData(qint64 received);
    void Timer1Timer();
    void CancelButtonClick();

    void setProgress(qint64 position);
    // The transfer has ended: the dialog's modal run ends.
    void transferEnded();
    // Escape or the window's close button: ignored while the transfer runs.
    void reject() override;

  signals:
    // After each piece of the body has been shown.
    void dataShown(qint64 received);

  private:
    UpdatePrompts &m_prompts;
};

// The download dialog of the running download, if any.
extern TJFCAppUpdateDownloadBox *DownloadBox;
