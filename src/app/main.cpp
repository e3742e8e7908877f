#include "app/QtDutchTranslations.h"
#include "app/THoofdscherm.h"
#include "app/TerminationSignals.h"
#include "app/Wiring.h"
#include "base/VoranoError.h"

#include <QApplication>
#include <QMessageBox>

#include <csignal>
#include <cstdio>
#include <memory>

namespace
{

bool hasDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// Started by a service manager there is no display, and the windowing system would end the program before it
// began. Without any display and without a chosen platform the program runs offscreen: the window exists
// unseen, and all timers and cycles run as usual.
void chooseOffscreenWithoutDisplay()
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::fputs("Geen beeldscherm gevonden (DISPLAY, WAYLAND_DISPLAY en QT_QPA_PLATFORM zijn niet gezet): het "
               "programma draait zonder venster (offscreen); het logboek staat in de map Logboek naast het "
               "programma.\n",
               stderr);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    // Standard error may be a pipe whose reader went away (a journal restarted, a terminal closed): a write
    // there must fail quietly, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    // Under a file-size limit a write past it fails with an error the program reports, instead of ending it.
    std::signal(SIGXFSZ, SIG_IGN);
    chooseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    if (!InstallQtDutchTranslations(app))
        std::fprintf(stderr, "De Nederlandse vertaling van Qt is niet gevonden; standaardvensters blijven Engels.\n");
    // The window lives on in the tray when hidden; the program ends only when the window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    std::unique_ptr<THoofdscherm> window;
    try {
        ShellSetup setup;
        setup.programFile = QCoreApplication::applicationFilePath();
        window = std::make_unique<THoofdscherm>(WireOperations(), setup);
    } catch (const VoranoError &e) {
        // Typically a settings file that is not well-formed: the program does not start and writes nothing.
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        if (hasDisplay())
            QMessageBox::critical(nullptr, QString::fromUtf8(kApplicationTitle), e.message());
        return 1;
    }

    QObject::connect(window.get(), &THoofdscherm::closed, &app, &QCoreApplication::quit);
    // The end of a session: close as "SLUITEN" does, so the settings are saved and written.
    TerminationSignals terminate([&window] { window->runner().run([&window] { window->sluiten(); }); });
    window->showMaximized();
    const int exitCode = QApplication::exec();
    window.reset(); // writes both settings files
    return exitCode;
}
