#include "service/ProgramMain.h"

#include "base/AbortToken.h"
#include "base/DataFolderCheck.h"
#include "base/FolderLock.h"
#include "base/LogLevel.h"
#include "base/ProcessPlatform.h"
#include "base/ProgramFolders.h"
#include "base/ServiceNotifier.h"
#include "base/VoranoError.h"
#include "link/NetworkConnections.h"
#include "service/LinkService.h"
#include "service/QtDutchTranslations.h"
#include "service/ServiceWiring.h"
#include "service/SettingsCheck.h"
#include "service/TerminationSignals.h"
#include "update/ProgramVersion.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace
{

inline constexpr const char *kApplicationTitle = "Taxis Vorano Soap Cliënt voor Ostrel";

// Qt's own warnings reach the journal with their priority too.
bool g_journal = false;

// What a platform plugin says about a window feature it lacks (the offscreen platform lacks most): a notice, no
// warning about the program.
bool platformNotice(QtMsgType type, const QString &message)
{
    return type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support"));
}

void qtMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const LogLevel level = type == QtInfoMsg || type == QtDebugMsg || platformNotice(type, message)
                               ? LogLevel::Information
                           : type == QtWarningMsg ? LogLevel::Warning
                                                  : LogLevel::Error;
    const QByteArray bytes = qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
    const QByteArray out = StandardErrorLines(bytes, level, g_journal);
    std::fwrite(out.constData(), 1, size_t(out.size()), stderr);
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

constexpr int kExitProblem = 1;
constexpr int kExitUsage = 2;
constexpr int kExitAlreadyRunning = 3;

// A line (or lines) of the program's own on standard error, each with its priority under the journal.
void printError(const QString &text, LogLevel level = LogLevel::Error)
{
    const QByteArray out = StandardErrorLines(text.toLocal8Bit(), level, g_journal);
    std::fwrite(out.constData(), 1, size_t(out.size()), stderr);
    std::fflush(stderr);
}

// What the command line asks for. Read before anything is created: the reporting arguments never create a
// folder, never take the lock and never write a settings file.
struct CommandLine {
    enum class Mode { Run, Help, Version, Check, Usage };
    Mode mode = Mode::Run;
    QString dataFolder; // empty: the program file's folder
    QString error;      // the reason for Usage
};

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Toont deze hulp.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Toont het versienummer van het programma.")};
    QCommandLineOption check{QStringLiteral("check"),
                             QStringLiteral("Controleert de instellingen, de database en de service, meldt elk "
                                            "probleem op een regel en stopt (0: alles in orde, 1: problemen). "
                                            "Schrijft niets.")};
    QCommandLineOption data{QStringLiteral("data"),
                            QStringLiteral("De map met de instellingenbestanden en alles wat het programma schrijft "
                                           "(standaard de map van het programmabestand)."),
                            QStringLiteral("map")};

    Parser()
    {
        parser.setApplicationDescription(
            QString::fromUtf8(kApplicationTitle) +
            QStringLiteral("\n\nAfsluitstatus: 0 klaar (ook na een stop), 1 een probleem (een instellingenbestand, de "
                           "map of het slotbestand, de database, of --check vond iets), 2 een onjuiste opdrachtregel, "
                           "3 er draait al een programma in deze map."));
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOption(help);
        parser.addOption(version);
        parser.addOption(check);
        parser.addOption(data);
    }
};

QString unknownArgument(const QString &typed)
{
    return QStringLiteral("Onbekend argument: %1").arg(typed);
}

CommandLine readCommandLine(Parser &p, int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine line;
    if (!p.parser.parse(arguments)) {
        line.mode = CommandLine::Mode::Usage;
        line.error = p.parser.errorText();
        // An option the program does not know is worded as any other argument it does not know, as typed.
        if (!p.parser.unknownOptionNames().isEmpty()) {
            const QString name = p.parser.unknownOptionNames().constFirst();
            QString typed = QStringLiteral("--") + name;
            static const QRegularExpression dashes(QStringLiteral("^-+"));
            for (const QString &argument : arguments.mid(1)) {
                const QString bare = argument.section(QLatin1Char('='), 0, 0);
                if (bare.startsWith(QLatin1Char('-')) && QString(bare).remove(dashes) == name) {
                    typed = bare;
                    break;
                }
            }
            line.error = unknownArgument(typed);
        }
        return line;
    }
    if (!p.parser.positionalArguments().isEmpty()) {
        line.mode = CommandLine::Mode::Usage;
        line.error = unknownArgument(p.parser.positionalArguments().constFirst());
        return line;
    }
    if (p.parser.isSet(p.help))
        line.mode = CommandLine::Mode::Help;
    else if (p.parser.isSet(p.version))
        line.mode = CommandLine::Mode::Version;
    else if (p.parser.isSet(p.check))
        line.mode = CommandLine::Mode::Check;
    if (p.parser.isSet(p.data)) {
        line.dataFolder = p.parser.value(p.data);
        if (line.dataFolder.isEmpty()) {
            line.mode = CommandLine::Mode::Usage;
            line.error = QStringLiteral("--data heeft een map nodig.");
        }
    }
    return line;
}

// The one line that refuses a data folder someone else could change, or empty.
QString checkedFolder(const QString &folder)
{
    return CheckDataFolder(folder, ProgramFolders::under(folder).topLevel());
}

// The arguments that only report: no window, no folder, no file.
int report(const CommandLine &line, Parser &p, int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    InstallQtDutchTranslations(app);
    switch (line.mode) {
    case CommandLine::Mode::Version: {
        const QString version = ProgramInternalFileVersion();
        std::printf("%s %s\n", QCoreApplication::applicationName().toLocal8Bit().constData(),
                    (version.isEmpty() ? QStringLiteral("(geen versie)") : version).toLocal8Bit().constData());
        return 0;
    }
    case CommandLine::Mode::Check: {
        const QString folder =
            line.dataFolder.isEmpty() ? QCoreApplication::applicationDirPath() : QDir(line.dataFolder).absolutePath();
        NetworkConnections network;
        SettingsCheckResult result = CheckSettings(folder, network);
        const QString untrusted = checkedFolder(folder);
        if (!untrusted.isEmpty())
            result.problems.prepend(untrusted);
        for (const QString &text : result.notes + result.problems)
            std::printf("%s\n", text.toLocal8Bit().constData());
        if (result.problems.isEmpty())
            std::printf("Geen problemen gevonden in %s.\n", QDir::toNativeSeparators(folder).toLocal8Bit().constData());
        return result.problems.isEmpty() ? 0 : kExitProblem;
    }
    case CommandLine::Mode::Help:
        std::fputs(p.parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    default: {
        // Parsed again now that Qt's Dutch texts are installed: its message about the argument reads Dutch too.
        QString error = line.error;
        if (!p.parser.parse(QCoreApplication::arguments()) && p.parser.unknownOptionNames().isEmpty())
            error = p.parser.errorText();
        printError(error + QLatin1Char('\n') + p.parser.helpText());
        return kExitUsage;
    }
    }
}

QString signalName(int signal)
{
    return signal == SIGTERM  ? QStringLiteral("SIGTERM")
           : signal == SIGINT ? QStringLiteral("SIGINT")
                              : QString::number(signal);
}

} // namespace

int RunProgram(int argc, char *argv[], const ProgramKind &kind)
{
    PrepareProcess();
    g_journal = StandardErrorIsJournal();
    Parser parser;
    const CommandLine line = readCommandLine(parser, argc, argv);
    if (line.mode != CommandLine::Mode::Run)
        return report(line, parser, argc, argv);

    // The working folder, resolved once: everything below gets it handed down.
    const QString programFile = RunningProgramFile();
    QString dataFolder = QFileInfo(programFile).absolutePath();
    if (!line.dataFolder.isEmpty()) {
        dataFolder = QDir::cleanPath(QDir(line.dataFolder).absolutePath());
        if (!QDir().mkpath(dataFolder)) {
            printError(QStringLiteral("De map %1 bestaat niet en kan niet worden gemaakt.\n").arg(dataFolder));
            return kExitProblem;
        }
    }
    // Before anything is opened or written in it.
    if (const QString untrusted = checkedFolder(dataFolder); !untrusted.isEmpty()) {
        printError(untrusted + QStringLiteral(" Het programma stopt.\n"));
        return kExitProblem;
    }
    FolderLock lock(dataFolder);
    if (!lock.tryLock()) {
        if (lock.errorString().isEmpty()) {
            printError(QStringLiteral("Er draait al een programma in de map %1; deze start stopt.\n").arg(dataFolder));
            return kExitAlreadyRunning;
        }
        printError(QStringLiteral("Kan het slotbestand %1 niet openen (%2); het programma stopt.\n")
                       .arg(lock.filePath(), lock.errorString()));
        return kExitProblem;
    }

    qInstallMessageHandler(qtMessage);
    IgnoreFileSizeLimit();
    int appArgc = argc;
    bool windowed = false;
    std::unique_ptr<QCoreApplication> app = kind.makeApplication ? kind.makeApplication(appArgc, argv, windowed)
                                                                 : std::make_unique<QCoreApplication>(appArgc, argv);
    QCoreApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    if (!InstallQtDutchTranslations(*app))
        printError(QStringLiteral("De Nederlandse vertaling van Qt is niet gevonden; standaardteksten blijven "
                                  "Engels.\n"),
                   LogLevel::Warning);

    const ServiceNotifier notifier;
    // Made once, here, and handed to whatever sends a request or can be stopped.
    AbortToken stop;
    NetworkConnections network;
    const ProgramLinks links{network, stop};
    const Operations operations = kind.operations ? kind.operations(links) : WireServiceOperations(links);
    std::unique_ptr<LinkService> service;
    try {
        ServiceSetup setup;
        setup.programFile = programFile;
        setup.dataFolder = dataFolder;
        setup.notifier = &notifier;
        setup.stopToken = &stop;
        service = std::make_unique<LinkService>(operations, setup);
    } catch (const VoranoError &e) {
        // Typically a settings file that is not well-formed: the program does not start and writes nothing.
        printError(e.message() + QLatin1Char('\n'));
        if (windowed && kind.showStartError)
            kind.showStartError(e.message());
        return kExitProblem;
    }
    if (!windowed) {
        // The program with a window says why it has none; the server program never has one.
        const QString why = kind.makeWindow ? QStringLiteral("Geen beeldscherm gevonden (DISPLAY, WAYLAND_DISPLAY en "
                                                             "QT_QPA_PLATFORM zijn niet gezet): h")
                                            : QStringLiteral("H");
        printError(QStringLiteral("%1et programma draait zonder venster; het logboek staat in de map %2.\n")
                       .arg(why, QDir::toNativeSeparators(QDir(dataFolder).filePath(QStringLiteral("Logboek")))),
                   LogLevel::Information);
    }
    service->start();
    std::shared_ptr<void> window;
    if (windowed && kind.makeWindow)
        window = kind.makeWindow(*service, operations);

    QObject::connect(service.get(), &LinkService::stopped, app.get(), &QCoreApplication::quit);
    // The end of a session: stop as "SLUITEN" does, so the settings are saved and written.
    TerminationSignals terminate(stop, [&service] {
        service->saveSettings();
        service->stop(QStringLiteral("signaal %1").arg(signalName(TerminationSignals::lastSignal())));
    });
    terminate.setHangupHandler([&service] { service->reloadSettings(); });
    notifier.ready(service->monitor().statusText());
    const int exitCode = QCoreApplication::exec();
    window.reset();
    if (service->workerAbandoned()) {
        // A cycle stuck beyond its grace still runs on its thread: end without waiting for it. Everything the
        // program keeps is written already.
        std::fflush(stderr);
        std::_Exit(exitCode);
    }
    service.reset();
    return exitCode;
}
