#include "update/TJFCAppUpdateDownloadBox.h"

#include "base/PlainTextWidgets.h"

#include "update/TJFCAppUpdateNotifyBox.h"
#include "update/UpdatePicture.h"
#include "update/UpdatePrompts.h"
#include "update/UpdateText.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

TJFCAppUpdateDownloadBox *DownloadBox = nullptr;

namespace
{

const QString kCancelQuestion = QStringLiteral("Deze software update afbreken?");
const QString kCancelled = QStringLiteral("De software update werd afgebroken.");

TJFCAppUpdateFileSizeUnit sizeUnit()
{
    return UpdateNotifyBox ? UpdateNotifyBox->state.FileSizeUnit : TJFCAppUpdateFileSizeUnit::Auto;
}

} // namespace

TJFCAppUpdateDownloadBox::TJFCAppUpdateDownloadBox(UpdatePrompts &prompts, NetworkConnections &network,
                                                   AbortToken &stop, QWidget *parent)
    : QDialog(parent)
    , HttpCli1(network, stop)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("JFCAppUpdateDownloadBox"));
    setWindowTitle(QStringLiteral("Download nieuwe versie"));
    setFixedSize(690, 313);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setFont(QFont(QStringLiteral("Arial"), 9));

    auto label = [this](const QString &name, const QString &text, int x, int y, int w) {
        QLabel *l = NewPlainLabel(text, this);
        l->setObjectName(name);
        l->setGeometry(x, y, w, 22);
        return l;
    };
    const int rows[] = {10, 40, 70, 100, 130, 160};
    Label1 = label(QStringLiteral("Label1"), QStringLiteral("Bestand:"), 8, rows[0], 120);
    Label2 = label(QStringLiteral("Label2"), QStringLiteral("Snelheid:"), 8, rows[1], 120);
    Label4 = label(QStringLiteral("Label4"), QStringLiteral("Status :"), 8, rows[2], 120);
    Label5 = label(QStringLiteral("Label5"), QStringLiteral("Verstreken tijd :"), 8, rows[3], 120);
    Label6 = label(QStringLiteral("Label6"), QStringLiteral("Resterende tijd :"), 8, rows[4], 120);
    Label9 = label(QStringLiteral("Label9"), QStringLiteral("Overdracht :"), 8, rows[5], 120);
    FileLabel = label(QStringLiteral("FileLabel"), QStringLiteral("-"), 135, rows[0], 296);
    SpeedLabel = label(QStringLiteral("SpeedLabel"), QStringLiteral("0 KB/sec"), 135, rows[1], 330);
    StatusLabel = label(QStringLiteral("StatusLabel"), QStringLiteral("Downloading file"), 135, rows[2], 330);
    ElapsedTimeLabel = label(QStringLiteral("ElapsedTimeLabel"), QStringLiteral("00:00:00"), 135, rows[3], 330);
    RemainingTimeLabel = label(QStringLiteral("RemainingTimeLabel"), QStringLiteral("00:00:00"), 135, rows[4], 330);
    TransferLabel = label(QStringLiteral("TransferLabel"), QStringLiteral("0 KB of 0 KB"), 135, rows[5], 330);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(7, 200, 460, 44);
    ProgressBar1->setRange(0, 0);
    ProgressBar1->setMaximum(100);
    ProgressBar1->setValue(0);

    CancelButton = new QPushButton(QStringLiteral("AFBREKEN"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(7, 259, 460, 38);
    CancelButton->setDefault(true);
    CancelButton->setAutoDefault(true);
    connect(CancelButton, &QPushButton::clicked, this, &TJFCAppUpdateDownloadBox::CancelButtonClick);

    Image1 = NewPlainLabel({}, this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(690 - 218, 0, 218, 313);
    Image1->setScaledContents(true);
    Image1->setPixmap(UpdatePicture(218, 313));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TJFCAppUpdateDownloadBox::Timer1Timer);
}

TJFCAppUpdateDownloadBox::~TJFCAppUpdateDownloadBox()
{
    if (DownloadBox == this)
        DownloadBox = nullptr;
}

void TJFCAppUpdateDownloadBox::setProgress(qint64 position)
{
    ProgressBar1->setValue(static_cast<int>(std::clamp<qint64>(position, 0, ProgressBar1->maximum())));
}

void TJFCAppUpdateDownloadBox::transferEnded()
{
    downloading = false;
    done(QDialog::Accepted);
}

void TJFCAppUpdateDownloadBox::reject()
{
    // While the transfer runs the dialog stays: "AFBREKEN" cancels it, and the program's stop ends it.
    if (!downloading)
        QDialog::reject();
}

void TJFCAppUpdateDownloadBox::HttpCli1DocData(qint64 received)
{
    if (maximum > 0)
        TransferLabel->setText(TransferText(received, maximum, sizeUnit()));
    setProgress(received);
    emit dataShown(received);
}

void TJFCAppUpdateDownloadBox::Timer1Timer()
{
    const DownloadTimerTexts t = Timer1Texts(StartTime.elapsed(), HttpCli1.bytesReceived(), maximum, sizeUnit());
    SpeedLabel->setText(t.speed);
    ElapsedTimeLabel->setText(t.elapsed);
    if (!t.remaining.isEmpty())
        RemainingTimeLabel->setText(t.remaining);
}

void TJFCAppUpdateDownloadBox::CancelButtonClick()
{
    if (!CancelButton->isEnabled() || !m_prompts.question(kCancelQuestion))
        return;
    HttpCli1.abort();
    CancelButton->setEnabled(false);
    Timer1->stop();
    m_prompts.error(kCancelled);
}
