#include "update/TJFCAppUpdateNotifyBox.h"

#include "base/PlainTextWidgets.h"
#include "base/PrivateFiles.h"
#include "base/VoranoError.h"
#include "update/FileChecksums.h"
#include "update/ManifestRules.h"
#include "update/ReleaseSignature.h"
#include "update/TJFCAppUpdateDownloadBox.h"
#include "update/UpdatePicture.h"
#include "update/UpdatePrompts.h"
#include "update/UpdateText.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <memory>

TJFCAppUpdateNotifyBox *UpdateNotifyBox = nullptr;

namespace
{

const QString kFailedPrefix = QStringLiteral("Mislukt: ");
const QString kCorrupt = QStringLiteral("De download is beschadigd.");
const QString kStarting = QStringLiteral("Taxis Vorano\u00AE LiveUpdate gaat nu starten");
const QString kSearching = QStringLiteral("Zoek naar bestandsinformatie");
const QByteArray kContentLength = "content-length: ";
const QString kOversized =
    QStringLiteral("Update: de download is groter dan de aangekondigde %1 bytes en is verwijderd.");
const QString kTampered = QStringLiteral("Update: de download komt niet overeen met de ondertekende SHA-256 en is "
                                         "verwijderd; de update wordt niet gestart.");

const QString kNoUpdater =
    QStringLiteral("Update: het hulpprogramma %1 ontbreekt of is niet uitvoerbaar; de update wordt niet uitgevoerd.");
const QString kUpdaterNotStarted =
    QStringLiteral("Update: het hulpprogramma %1 kon niet worden gestart; het programma blijft actief.");
const QString kFolderNotPrivate =
    QStringLiteral("Update: de map %1 is geen map van dit programma alleen; er wordt niets gedownload of gestart.");
const QString kWrongSize = QStringLiteral(
    "Update: de server kondigt %1 bytes aan, het updatebestand noemt %2 bytes; er wordt niets gedownload.");
const QString kChangedBeforeStart = QStringLiteral("Update: het gedownloade bestand is na de controle gewijzigd of "
                                                   "vervangen en is verwijderd; de update wordt niet gestart.");

constexpr int kSizeQueryOverallTimeoutMs = 120000;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QFont toFont(const UpdateFont &f)
{
    QFont font(f.Name, f.Size);
    return font;
}

void useTooltipTextColour(QWidget *w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Text, QApplication::palette().color(QPalette::ToolTipText));
    pal.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::ToolTipText));
    w->setPalette(pal);
}

QToolButton *toolButton(QWidget *parent, const QString &name, const QString &text, QStyle::StandardPixmap icon,
                        int width)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setIconSize(QSize(16, 16));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setCursor(Qt::PointingHandCursor);
    b->setFixedWidth(width);
    return b;
}

} // namespace

QString UpdaterFileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("VoranoUpdater.exe");
#else
    return QStringLiteral("VoranoUpdater");
#endif
}

TJFCAppUpdateNotifyBox::TJFCAppUpdateNotifyBox(TJFCAppUpdateNotifyState &s, UpdatePrompts &prompts, ErrorHook logError,
                                               QWidget *parent)
    : QDialog(parent)
    , state(s)
    , m_prompts(prompts)
    , m_logError(std::move(logError))
{
    UpdateNotifyBox = this;
    setObjectName(QStringLiteral("JFCAppUpdateNotifyBox"));
    setWindowTitle(QStringLiteral("Er is een nieuwe versie van de software beschikbaar"));
    setFixedSize(686, 312);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setFont(toFont(state.font));
    useTooltipTextColour(this);

    Image1 = NewPlainLabel({}, this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(686 - 216, 0, 216, 312 - 29);
    Image1->setScaledContents(true);
    Image1->setPixmap(UpdatePicture(216, 283));

    ReadmeMemo = new QPlainTextEdit(this);
    ReadmeMemo->setObjectName(QStringLiteral("ReadmeMemo"));
    ReadmeMemo->setGeometry(7, 7, 469, 271);
    ReadmeMemo->setReadOnly(true);
    ReadmeMemo->setFrameShape(QFrame::NoFrame);
    ReadmeMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    ReadmeMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ReadmeMemo->setFocusPolicy(Qt::NoFocus);
    QFont readmeFont = toFont(state.fontReadme);
    ReadmeMemo->setFont(readmeFont);
    useTooltipTextColour(ReadmeMemo);
    ReadmeMemo->setPlainText(state.readme);

    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("RzToolbar1"));
    bar->setGeometry(0, 312 - 29, 686, 29);
    bar->setFont(QFont(QStringLiteral("Arial"), 8, QFont::Bold));
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(2, 1, 2, 1);
    DownloadButton = toolButton(bar, QStringLiteral("DownloadButton"),
                                QStringLiteral("Download en installeer de update"), QStyle::SP_ArrowDown, 219);
    OpenWebPageButton = toolButton(bar, QStringLiteral("OpenWebPageButton"),
                                   QStringLiteral("Extra download informatie"), QStyle::SP_FileDialogInfoView, 237);
    ButtonSluiten =
        toolButton(bar, QStringLiteral("ButtonSluiten"), QStringLiteral("Sluiten"), QStyle::SP_DialogCloseButton, 197);
    row->addWidget(DownloadButton);
    row->addSpacing(4);
    row->addWidget(OpenWebPageButton);
    row->addSpacing(4);
    row->addWidget(ButtonSluiten);
    row->addStretch();
    DownloadButton->setEnabled(state.downloadEnabled);

    connect(DownloadButton, &QToolButton::clicked, this,
            [this] { guarded(&TJFCAppUpdateNotifyBox::DownloadButtonClick); });
    connect(OpenWebPageButton, &QToolButton::clicked, this,
            [this] { guarded(&TJFCAppUpdateNotifyBox::RzToolButton1Click); });
    connect(ButtonSluiten, &QToolButton::clicked, this,
            [this] { guarded(&TJFCAppUpdateNotifyBox::ButtonSluitenClick); });
}

TJFCAppUpdateNotifyBox::~TJFCAppUpdateNotifyBox()
{
    if (UpdateNotifyBox == this)
        UpdateNotifyBox = nullptr;
}

void TJFCAppUpdateNotifyBox::guarded(void (TJFCAppUpdateNotifyBox::*handler)())
{
    try {
        (this->*handler)();
    } catch (const VoranoError &e) {
        if (m_logError)
            m_logError(e.message());
    } catch (const std::exception &e) {
        if (m_logError)
            m_logError(QString::fromLocal8Bit(e.what()));
    }
}

QString TJFCAppUpdateNotifyBox::FormatFileSize(qint64 size) const
{
    return ::FormatFileSize(size, state.FileSizeUnit);
}

QString TJFCAppUpdateNotifyBox::UrlFileName(const QString &url)
{
    return ::UrlFileName(url);
}

qint32 TJFCAppUpdateNotifyBox::GetRemoteFileSize(UpdateHttpClient &client, const QString &url)
{
    if (DownloadBox)
        DownloadBox->StatusLabel->setText(kSearching);
    const HttpResult r = client.head(url);
    if (!r.ok())
        return 0;
    for (const QByteArray &line : r.headerLines) {
        if (!line.toLower().startsWith(kContentLength))
            continue;
        bool ok = false;
        const qint32 size = line.mid(kContentLength.size()).toInt(&ok);
        return ok ? size : 0;
    }
    return 0;
}

void TJFCAppUpdateNotifyBox::log(const QString &text)
{
    if (m_logError)
        m_logError(text);
}

void TJFCAppUpdateNotifyBox::DownloadButtonClick()
{
    auto box = std::make_unique<TJFCAppUpdateDownloadBox>(m_prompts, *state.network, *state.stop);
    DownloadBox = box.get();
    box->setFont(font());
    close(); // the modal run of this dialog ends once this handler returns

    const TJFCAppUpdateManifest &m = state.manifest;
    // The name comes from the server: it must stay one plain file in TempDownloads.
    const QString name = UrlFileName(m.DownloadFileURL);
    for (const QString &refusal :
         {DownloadNameRefusal(m.DownloadFileURL), DownloadHashRefusal(m.SHA256Hash), FileSizeRefusal(m.FileSize)}) {
        if (!refusal.isEmpty()) {
            log(refusal);
            return;
        }
    }
    // Without the updater a download leads nowhere: say so and go on running.
    const QString updater = state.programFolder + QLatin1Char('/') + UpdaterFileName();
    if (!isExecutableFile(updater)) {
        log(kNoUpdater.arg(native(updater)));
        return;
    }
    bool success = true;
    QString target;
    const QString tempDownloads = state.programFolder + QStringLiteral("/TempDownloads");
    if (QFileInfo(tempDownloads).isDir()) {
        if (!MakePrivateFolder(tempDownloads)) {
            log(kFolderNotPrivate.arg(native(tempDownloads)));
            return;
        }
        target = tempDownloads + QLatin1Char('/') + name;
        // Whatever lay there before (a link included) goes; the download is a new file of its own.
        if (QFileInfo(target).isSymLink() || QFileInfo(target).isFile())
            QFile::remove(target);
    }

    UpdateHttpClient &client = box->HttpCli1;
    client.ProxyHost = state.proxyHost;
    client.ProxyPort = state.proxyPort;
    client.transferTimeoutMs = transferTimeoutMs;
    client.extraCaCertificates = state.extraCaCertificates;

    QFile file(target);
    if (target.isEmpty() || QFileInfo(target).isDir() || !file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw FileError(QStringLiteral("Kan bestand \"%1\" niet aanmaken").arg(QDir::toNativeSeparators(target)));

    box->FileLabel->setText(UrlFileName(m.DownloadFileURL));
    box->ProgressBar1->setValue(0);
    // The size query is a small request: it gets the time limit of one, the transfer the download's.
    client.overallTimeoutMs = qMin(overallTimeoutMs, kSizeQueryOverallTimeoutMs);
    const qint32 maximum = GetRemoteFileSize(client, m.DownloadFileURL);
    client.overallTimeoutMs = overallTimeoutMs;
    box->maximum = maximum;
    box->ProgressBar1->setMaximum(qMax(maximum, 0));
    box->TransferLabel->setText(FormatFileSize(0) + QStringLiteral(" of ") + FormatFileSize(maximum) +
                                QStringLiteral(" (0%)"));
    box->CancelButton->setEnabled(true);
    box->StatusLabel->setText(client.ProxyHost.isEmpty()
                                  ? QStringLiteral("Download bestand")
                                  : QStringLiteral("Download bestand via proxy server (") + client.ProxyHost +
                                        QLatin1Char(':') + client.ProxyPort + QLatin1Char(')'));
    if (maximum > 0 && !m.FileSize.isEmpty() && QString::number(maximum) != m.FileSize) {
        log(kWrongSize.arg(maximum).arg(m.FileSize));
        file.close();
        file.remove();
        return;
    }
    if (maximum <= 0) {
        // Without a size there is no download; the empty file made for it does not stay behind.
        file.close();
        file.remove();
        return;
    }

    box->Timer1->start();
    box->StartTime.start();
    TJFCAppUpdateDownloadBox *shown = box.get();
    // Never more than the size announced: a server that sends more is cut off.
    client.maxBodyBytes = maximum;
    // The transfer runs on the network connections' thread; the dialog's own modal run shows its progress and
    // takes "AFBREKEN", and ends with the transfer.
    shown->downloading = true;
    client.begin(
        m.DownloadFileURL, &file, shown, [shown](qint64 received) { shown->HttpCli1DocData(received); },
        [shown] { shown->transferEnded(); });
    shown->exec();
    const HttpResult r = client.end();
    shown->downloading = false;
    file.flush();
    const qint64 fileSize = file.size();
    if (r.ok()) {
        box->TransferLabel->setText(TransferText(fileSize, maximum, state.FileSizeUnit));
        box->setProgress(fileSize);
    } else {
        if (r.tooLarge)
            log(kOversized.arg(maximum));
        box->StatusLabel->setText(kFailedPrefix +
                                  (r.outcome == HttpResult::Outcome::HttpFailure
                                       ? QString::number(r.statusCode) + QLatin1Char(' ') + r.reasonPhrase
                                       : r.errorText));
        success = false;
    }
    if (!box->CancelButton->isEnabled())
        success = false;
    else
        box->CancelButton->setEnabled(false);
    box->Timer1->stop();
    box->setProgress(maximum);
    file.close();

    if (success && fileSize < maximum) {
        // A transfer that ended early is never handed to the updater.
        box->StatusLabel->setText(kFailedPrefix +
                                  QStringLiteral("onvolledig ontvangen (%1 van %2 bytes)").arg(fileSize).arg(maximum));
        success = false;
    }

    if (client.closing())
        success = false; // the program closes: nothing more is shown or started

    if (success && FileSHA256(target).compare(m.SHA256Hash, Qt::CaseInsensitive) != 0) {
        success = false;
        log(kTampered);
        m_prompts.error(kCorrupt);
    }

    if (success) {
        QString expected;
        QString actual;
        switch (state.HashType) {
        case THashType::None:
            break;
        case THashType::CRC32:
            expected = m.CRC32Hash;
            actual = FileCRC32(target);
            break;
        case THashType::MD5:
            expected = m.MD5Hash;
            actual = FileMD5(target);
            break;
        case THashType::SHA1:
            expected = m.SHA1Hash;
            actual = FileSHA1(target);
            break;
        }
        if (state.HashType != THashType::None && (actual.isEmpty() || expected != actual)) {
            success = false;
            m_prompts.error(kCorrupt);
        }
    }

    if (success) {
        m_prompts.information(kStarting);
        // The program may have been closed while the message was open: then the updater is not started.
        success = !client.closing();
    }
    if (success) {
        // The message may have stood open for long: the file is checked again, as it is now, just before it is
        // handed over.
        if (!isExecutableFile(updater)) {
            log(kNoUpdater.arg(native(updater)));
            success = false;
        } else if (!MakePrivateFolder(tempDownloads) ||
                   RegularFileSha256(target).compare(m.SHA256Hash, Qt::CaseInsensitive) != 0) {
            log(kChangedBeforeStart);
            success = false;
        }
    }
    if (success) {
        // The path is one argument as it stands: no quotes, no shell.
        if (m_prompts.startDetached(updater, {native(QFileInfo(target).absoluteFilePath())}))
            m_prompts.terminateApplication();
        else
            log(kUpdaterNotStarted.arg(native(updater)));
    } else {
        QFile::remove(target);
    }
}

void TJFCAppUpdateNotifyBox::RzToolButton1Click()
{
    // The address may come from the manifest: never hand the desktop anything but a web page.
    if (IsWebAddress(state.manifest.UpdatePageURL))
        m_prompts.openUrl(state.manifest.UpdatePageURL);
}

void TJFCAppUpdateNotifyBox::ButtonSluitenClick()
{
    close();
}

NotifyBoxPresenter MakeNotifyBoxPresenter(UpdatePrompts &prompts, ErrorHook logError)
{
    return [&prompts, logError](TJFCAppUpdateNotifyState &state) {
        TJFCAppUpdateNotifyBox box(state, prompts, logError);
        box.exec();
    };
}
