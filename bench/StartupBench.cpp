// Start-up time to the first shown window, then idle CPU with all five timers running.
//
//   startup_bench [seconds]   (default 60; runs offscreen when there is no display)
//
// The window is the real main window with empty operations in a scratch program folder, xAuto checked so that
// Controle is armed as well. Prints the figures; asserts nothing.
#include "app/THoofdscherm.h"
#include "service/LinkService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class FirstPaint : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 60;

    QTemporaryDir folder;
    {
        QFile settings(folder.filePath(QStringLiteral("VoranotoOstrel.xml")));
        settings.open(QIODevice::WriteOnly);
        settings.write("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n"
                       "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n    <xBezet_Checked>TRUE</xBezet_Checked>\r\n"
                       "  </Hoofdscherm>\r\n</Configuration>\r\n");
    }
    ServiceSetup setup;
    setup.programFile = folder.filePath(QStringLiteral("VoranoOstrel"));
    LinkService service(Operations{}, setup);
    service.start();
    THoofdscherm window(service, Operations{});
    FirstPaint paint;
    window.installEventFilter(&paint);
    window.showMaximized();
    while (!paint.painted && sinceStart.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 startupMs = sinceStart.elapsed();
    std::printf("platform %s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("start-up to first shown window: %lld ms (goal < 300 ms)\n", startupMs);
    std::printf("BENCH\tstart-up to first shown window, %s\t%lld ms\t-\t-\t< 300 ms\n",
                qPrintable(QGuiApplication::platformName()), startupMs);
    std::fflush(stdout);

    const double cpuBefore = cpuSeconds();
    QElapsedTimer idle;
    idle.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    QApplication::exec();
    const double cpu = cpuSeconds() - cpuBefore;
    const double wall = double(idle.elapsed()) / 1000.0;
    std::printf("idle for %.1f s with all timers running (Controle armed: %s): CPU %.3f s = %.3f %% (goal < 0.5 %%)\n",
                wall, service.timers().controle().isActive() ? "yes" : "no", cpu, 100.0 * cpu / wall);
    std::printf("BENCH\tidle CPU, all timers running\t%.3f %%\t-\t-\t< 0.5 %%\n", 100.0 * cpu / wall);
    return 0;
}
