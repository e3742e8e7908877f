#include "app/THoofdscherm.h"
#include "app/Wiring.h"
#include "base/PlainTextWidgets.h"
#include "service/LinkService.h"
#include "service/ProgramMain.h"

#include <QApplication>
#include <QMessageBox>

namespace
{

// Without any display and without a chosen platform (started by a service manager) the program runs the link
// service alone, as the server program does: no window is made and no platform plugin is loaded.
bool displayAtHand()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char *argv[])
{
    ProgramKind kind;
    kind.makeApplication = [](int &appArgc, char **argv, bool &windowed) -> std::unique_ptr<QCoreApplication> {
        windowed = displayAtHand();
        if (!windowed)
            return std::make_unique<QCoreApplication>(appArgc, argv);
        auto app = std::make_unique<QApplication>(appArgc, argv);
        // The window lives on in the tray when hidden; the program ends when the service has stopped.
        QApplication::setQuitOnLastWindowClosed(false);
        return app;
    };
    kind.operations = [](const ProgramLinks &links) { return WireOperations(links); };
    kind.makeWindow = [](LinkService &service, const Operations &operations) -> std::shared_ptr<void> {
        auto window = std::make_shared<THoofdscherm>(service, operations);
        window->showMaximized();
        return window;
    };
    kind.showStartError = [](const QString &message) {
        // Offscreen nobody would see the box, and nobody could close it.
        const QString platform = QGuiApplication::platformName();
        if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
            return;
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), message);
        MakePlainText(box);
        box.exec();
    };
    return RunProgram(argc, argv, kind);
}
