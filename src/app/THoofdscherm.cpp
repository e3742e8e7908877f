#include "app/THoofdscherm.h"

#include "app/PackagePage.h"
#include "app/ReferencePage.h"
#include "app/ReturnPage.h"
#include "app/SettingsPage.h"
#include "service/LinkService.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

namespace
{

const QString kInitialCaption = QStringLiteral("Taxis Vorano Soap Cliënt voor OstREL");
const QString kCaptionPrefix = QStringLiteral("Taxis Vorano Soap Cliënt voor OstREL - v");
const QString kInitialTrayTip = QStringLiteral("Taxis Vorano");
constexpr int kWindowsRestoreToMaximized = 2; // placement flag of a minimised window that was maximised

// The program's single 16 by 16 icon.
QIcon programIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0xF2, 0xC0, 0x1E));
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2));
    p.drawLine(QPointF(4, 4), QPointF(8, 12));
    p.drawLine(QPointF(8, 12), QPointF(12, 4));
    return QIcon(pixmap);
}

QPlainTextEdit *memoPage(QTabWidget *pages, const QString &caption)
{
    auto *page = new QWidget;
    auto *memo = new QPlainTextEdit;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(memo);
    pages->addTab(page, caption);
    return memo;
}

} // namespace

THoofdscherm::THoofdscherm(LinkService &service, Operations operations, WindowSetup setup, QWidget *parent)
    : QMainWindow(parent)
    , m_service(service)
    , m_ops(std::move(operations))
    , m_setup(std::move(setup))
    , m_runner([this](const QString &message) { logError(message); })
{
    setObjectName(QStringLiteral("Hoofdscherm"));
    setWindowTitle(kInitialCaption);
    buildWindow();
    buildTray();
    // The widgets show the service's controls and hand every edit back.
    for (const ControlInfo &info : allControls()) {
        if (!m_controls.widget(info.id))
            continue;
        showControl(info.id);
        watchWidget(info.id);
    }
    connect(&m_service.sharedControls(), &SharedControls::changed, this,
            [this](int control) { showControl(Control(control)); });
    connect(&m_service, &LinkService::logLine, this, [this](int, const QString &line, bool onPage) {
        if (onPage)
            m_logboek->appendPlainText(line);
    });
    m_service.attachPlacement(this);
    setWindowTitle(kCaptionPrefix + m_service.version());
    m_tray->setToolTip(windowTitle());
    m_pages->setCurrentIndex(0);
}

THoofdscherm::~THoofdscherm()
{
    if (!m_closed)
        m_service.saveSettings();
    m_service.attachPlacement(nullptr);
}

void THoofdscherm::showControl(Control c)
{
    if (!m_controls.widget(c))
        return;
    m_showing = true;
    if (controlInfo(c).kind == ControlKind::CheckBox) {
        m_controls.setChecked(c, m_service.controls().checked(c));
    } else if (controlInfo(c).kind == ControlKind::Memo) {
        if (m_controls.lines(c) != m_service.controls().lines(c))
            m_controls.setLines(c, m_service.controls().lines(c));
    } else if (m_controls.text(c) != m_service.controls().text(c)) {
        m_controls.setText(c, m_service.controls().text(c));
    }
    m_showing = false;
}

void THoofdscherm::watchWidget(Control c)
{
    QWidget *w = m_controls.widget(c);
    auto edited = [this, c] {
        if (m_showing)
            return;
        if (controlInfo(c).kind == ControlKind::CheckBox)
            m_service.controls().setChecked(c, m_controls.checked(c));
        else if (controlInfo(c).kind == ControlKind::Memo)
            m_service.controls().setLines(c, m_controls.lines(c));
        else
            m_service.controls().setText(c, m_controls.text(c));
    };
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        connect(edit, &QLineEdit::textChanged, this, edited);
    else if (auto *box = qobject_cast<QCheckBox *>(w))
        connect(box, &QCheckBox::toggled, this, edited);
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(w))
        connect(memo, &QPlainTextEdit::textChanged, this, edited);
}

QString THoofdscherm::text(Control c) const
{
    return m_service.controls().text(c);
}

void THoofdscherm::setText(Control c, const QString &value)
{
    m_service.controls().setText(c, value);
    showControl(c);
}

bool THoofdscherm::checked(Control c) const
{
    return m_service.controls().checked(c);
}

void THoofdscherm::setChecked(Control c, bool value)
{
    m_service.controls().setChecked(c, value);
    showControl(c);
}

QStringList THoofdscherm::lines(Control c) const
{
    return m_service.controls().lines(c);
}

void THoofdscherm::setLines(Control c, const QStringList &value)
{
    m_service.controls().setLines(c, value);
    showControl(c);
}

void THoofdscherm::buildWindow()
{
    m_pages = new QTabWidget;
    m_pages->setObjectName(QStringLiteral("PageControl"));
    m_pages->setTabPosition(QTabWidget::South);

    m_settingsPage = new SettingsPage(m_controls);
    auto *settingsScroll = new QScrollArea; // the window also fits on a small screen
    settingsScroll->setWidget(m_settingsPage);
    settingsScroll->setWidgetResizable(true);
    settingsScroll->setFrameShape(QFrame::NoFrame);
    m_pages->addTab(settingsScroll, QStringLiteral("Instellingen"));
    connect(m_settingsPage, &SettingsPage::testClicked, this, [this] { runInteractive(m_ops.databaseTest); });
    connect(m_settingsPage, &SettingsPage::rideColourClicked, this,
            [this] { m_runner.run([this] { m_settingsPage->chooseRideColour(); }); });

    auto *returns = new ReturnPage(m_controls);
    m_pages->addTab(returns, QStringLiteral("Retour meldingen"));
    connect(returns, &ReturnPage::ownerSearchClicked, this, [this] { runInteractive(m_ops.ownerSearch); });

    m_logboek = memoPage(m_pages, QStringLiteral("Logboek"));
    m_logboek->setObjectName(QStringLiteral("Logboek"));
    // A program that runs for months would otherwise hold every line in memory; the day files keep them all.
    m_logboek->setMaximumBlockCount(kLogboekMaxLines);

    auto *update = new QWidget;
    auto *updateCheck = new QPushButton(QStringLiteral("UPDATE CONTROLE"));
    updateCheck->setMinimumHeight(40);
    auto *updateLayout = new QVBoxLayout(update);
    updateLayout->addWidget(updateCheck);
    updateLayout->addStretch();
    m_pages->addTab(update, QStringLiteral("Update"));
    connect(updateCheck, &QPushButton::clicked, this, [this] { runInteractive(m_ops.updateCheck); });

    m_pages->addTab(new PackagePage(m_controls), QStringLiteral("Pakket"));

    const struct {
        Control memo;
        const char *tab;
        const char *button;
        Operation Operations::*fetch;
    } referencePages[] = {
        {Control::BasicVehicleTypes, "Wagensoorten", "Wagensoorten ophalen", &Operations::fetchVehicleTypes},
        {Control::BasicIndications, "Indicaties", "Indicaties ophalen", &Operations::fetchIndications},
        {Control::BasicAccessibilityEquipments, "Toegangkelijkheid", "Toegangkelijkheid ophalen",
         &Operations::fetchAccessibilityEquipments},
        {Control::BasicProducts, "Producten", "Producten ophalen", &Operations::fetchProducts},
    };
    for (const auto &ref : referencePages) {
        auto *page = new ReferencePage(m_controls, ref.memo, QString::fromUtf8(ref.button));
        m_pages->addTab(page, QString::fromUtf8(ref.tab));
        const auto fetch = ref.fetch;
        const QString name = QString::fromUtf8(ref.button);
        connect(page, &ReferencePage::fetchClicked, this, [this, fetch, name] { runOnWorker(name, m_ops.*fetch); });
    }

    QPlainTextEdit *outgoing = memoPage(m_pages, QStringLiteral("Uitgaand"));
    m_controls.add(Control::UitgaanPakket, outgoing);

    auto *buttons = new QHBoxLayout;
    auto addButton = [&](const QString &caption, void (THoofdscherm::*action)()) {
        auto *button = new QPushButton(caption);
        connect(button, &QPushButton::clicked, this,
                [this, action] { m_runner.run([this, action] { (this->*action)(); }); });
        buttons->addWidget(button);
        return button;
    };
    addButton(QStringLiteral("UPDATE MANUEEL"), &THoofdscherm::updateManueel);
    addButton(QStringLiteral("VERBERGEN NAAR TAAKBALK"), &THoofdscherm::verbergenNaarTaakbalk);
    addButton(QStringLiteral("SLUITEN"), &THoofdscherm::sluiten);
    buttons->addStretch();
    QPushButton *manual = addButton(QStringLiteral("Handmatig verwerken"), &THoofdscherm::handmatigVerwerken);
    manual->setMinimumSize(180, 36);

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    setCentralWidget(central);
    statusBar()->setSizeGripEnabled(true);
    setWindowIcon(programIcon());
    resize(1024, 720);
    m_normal = geometry();
}

void THoofdscherm::buildTray()
{
    m_trayMenu = new QMenu(this);
    auto addItem = [this](const QString &caption, void (THoofdscherm::*action)()) {
        QAction *item = m_trayMenu->addAction(caption);
        connect(item, &QAction::triggered, this,
                [this, action] { m_runner.run([this, action] { (this->*action)(); }); });
    };
    addItem(QStringLiteral("Update"), &THoofdscherm::updateManueel);
    addItem(QStringLiteral("Details"), &THoofdscherm::showDetails);
    m_trayMenu->addSeparator();
    addItem(QStringLiteral("Sluiten"), &THoofdscherm::sluiten);

    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setToolTip(kInitialTrayTip);
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            m_runner.run([this] { showDetails(); });
    });
    if (trayAvailable())
        m_tray->show();
}

WindowPlacement THoofdscherm::placement() const
{
    const QRect r = m_normal;
    WindowPlacement p = m_storedPositions;
    p.flags = (isMinimized() && m_wasMaximized) ? kWindowsRestoreToMaximized : 0;
    p.left = r.left();
    p.top = r.top();
    p.right = r.left() + r.width();
    p.bottom = r.top() + r.height();
    return p;
}

void THoofdscherm::setPlacement(const WindowPlacement &placement)
{
    m_storedPositions.maxX = placement.maxX;
    m_storedPositions.maxY = placement.maxY;
    const QRect r(placement.left, placement.top, placement.right - placement.left, placement.bottom - placement.top);
    if (r.width() > 0 && r.height() > 0) {
        setGeometry(r);
        m_normal = r;
    }
}

// Qt keeps no restored rectangle of a window that was shown maximised from the start; the window keeps its own.
void THoofdscherm::rememberNormalGeometry()
{
    if (isVisible() && windowState() == Qt::WindowNoState)
        m_normal = geometry();
}

void THoofdscherm::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    rememberNormalGeometry();
}

void THoofdscherm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    rememberNormalGeometry();
}

int THoofdscherm::pixelsPerInch() const
{
    const QScreen *s = screen();
    return s ? qRound(s->logicalDotsPerInch()) : 96;
}

void THoofdscherm::showBusy()
{
    statusBar()->showMessage(QString::fromUtf8(kBusyText), 10000);
}

void THoofdscherm::runInteractive(const Operation &operation)
{
    m_runner.run([&] { m_service.runInteractive(operation, this); });
}

void THoofdscherm::runOnWorker(const QString &name, const Operation &operation)
{
    if (operation && !m_service.runOnWorker(name, operation))
        showBusy();
}

void THoofdscherm::updateManueel()
{
    if (!m_service.runRetrievalNow())
        showBusy();
}

void THoofdscherm::handmatigVerwerken()
{
    if (m_service.worker().busy()) {
        showBusy();
        return;
    }
    QString path;
    if (m_setup.chooseReplyFile) {
        path = m_setup.chooseReplyFile(this);
    } else {
        QFileDialog dialog(this);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setDefaultSuffix(QStringLiteral("xml"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().constFirst();
    }
    if (!path.isEmpty() && !m_service.runManualProcessing(path))
        showBusy();
}

void THoofdscherm::verbergenNaarTaakbalk()
{
    m_service.saveSettings();
    hideToTray();
}

void THoofdscherm::sluiten()
{
    m_service.saveSettings();
    m_service.stop(QStringLiteral("SLUITEN"));
    close();
}

void THoofdscherm::showDetails()
{
    Qt::WindowStates state = windowState() & ~Qt::WindowMinimized;
    if (m_wasMaximized)
        state |= Qt::WindowMaximized;
    setWindowState(state);
    show();
    raise();
    activateWindow();
}

// Without a notification area there is no way back from a hidden window: it stays in the taskbar, minimised.
void THoofdscherm::hideToTray()
{
    if (trayAvailable()) {
        m_wasMaximized = isMaximized() || (isMinimized() && m_wasMaximized);
        hide();
    } else {
        showMinimized();
    }
}

bool THoofdscherm::trayAvailable() const
{
    return m_setup.trayAvailable ? m_setup.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

void THoofdscherm::logError(const QString &message)
{
    m_service.log(LogLevel::Error, message);
}

void THoofdscherm::closeEvent(QCloseEvent *event)
{
    // The program ends: the settings as the window shows them are kept, and the service stops.
    if (!m_closed) {
        m_closed = true;
        m_service.saveSettings();
        m_service.stop(QStringLiteral("venster gesloten"));
        event->accept();
        emit closed();
        return;
    }
    event->accept();
}

void THoofdscherm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto *change = static_cast<QWindowStateChangeEvent *>(event);
    if (isMinimized()) {
        m_wasMaximized = change->oldState().testFlag(Qt::WindowMaximized);
        // Minimising hides the taskbar entry too; the tray icon brings the window back.
        if (trayAvailable())
            QTimer::singleShot(0, this, [this] {
                if (isMinimized())
                    hide();
            });
    }
}
