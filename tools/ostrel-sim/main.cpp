// ostrel-sim: the local stand-in for the trip planning service, for the demo and the benchmarks.
#include "OstrelSim.h"
#include "StopSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ostrel-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lokale stand-in voor de ritplanningsdienst: beantwoordt xmlRequest op http://127.0.0.1:PORT"
                       "/_external/external.cfc."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Poort (0: een vrije poort)."),
                                        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption portFileOption(QStringLiteral("port-file"),
                                            QStringLiteral("Schrijf het poortnummer naar dit bestand."),
                                            QStringLiteral("file"));
    const QCommandLineOption scriptsOption(
        QStringLiteral("scripts"),
        QStringLiteral("Map met antwoorden: <Actie>.xml, <Actie>.<n>.xml, <Actie>.<n>.fault, <Actie>.<n>.http."),
        QStringLiteral("folder"));
    const QCommandLineOption recordOption(
        QStringLiteral("record"), QStringLiteral("Schrijf elk verzoek naar dit bestand."), QStringLiteral("file"));
    const QCommandLineOption tripsOption(QStringLiteral("trips"),
                                         QStringLiteral("Aantal ritten in het RetrieveTrips-antwoord."),
                                         QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption firstIdOption(QStringLiteral("first-id"), QStringLiteral("Eerste rit-id."),
                                           QStringLiteral("id"), QStringLiteral("100001"));
    const QCommandLineOption updateOption(QStringLiteral("update-every"),
                                          QStringLiteral("Elke n-de rit is een wijziging (UPDATE)."),
                                          QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption deleteOption(QStringLiteral("delete-every"),
                                          QStringLiteral("Elke n-de rit is een annulering (DELETE)."),
                                          QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption delayOption(QStringLiteral("delay"),
                                         QStringLiteral("Vertraging van elk antwoord in milliseconden."),
                                         QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption filesOption(QStringLiteral("files"),
                                         QStringLiteral("Map met statische bestanden, geserveerd onder /."),
                                         QStringLiteral("folder"));
    const QCommandLineOption actionOption(QStringLiteral("action"),
                                          QStringLiteral("Actie van elke gegenereerde rit (INSERT, UPDATE, DELETE)."),
                                          QStringLiteral("action"));
    const QCommandLineOption writeTripsOption(
        QStringLiteral("write-trips"),
        QStringLiteral("Schrijf het RetrieveTrips-antwoord met de gegenereerde ritten naar dit bestand en stop."),
        QStringLiteral("file"));
    parser.addOptions({portOption, portFileOption, scriptsOption, recordOption, tripsOption, firstIdOption,
                       updateOption, deleteOption, delayOption, filesOption, actionOption, writeTripsOption});
    parser.process(app);

    OstrelSim sim;
    OstrelSim::TripGeneration generation;
    generation.count = parser.value(tripsOption).toInt();
    generation.firstId = parser.value(firstIdOption).toInt();
    generation.updateEvery = parser.value(updateOption).toInt();
    generation.deleteEvery = parser.value(deleteOption).toInt();
    generation.action = parser.value(actionOption);
    if (parser.isSet(writeTripsOption)) {
        QFile file(parser.value(writeTripsOption));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(OstrelSim::retrieveTripsReply(generation).toUtf8()) < 0) {
            std::fprintf(stderr, "ostrel-sim: %s\n", qPrintable(file.errorString()));
            return 1;
        }
        return 0;
    }
    sim.setGeneratedTrips(generation);
    sim.setDefaultDelay(parser.value(delayOption).toInt());
    if (parser.isSet(recordOption))
        sim.setRecordFile(parser.value(recordOption));
    if (parser.isSet(filesOption))
        sim.serveFolder(QStringLiteral("/"), parser.value(filesOption));
    if (parser.isSet(scriptsOption) && !sim.loadScriptFolder(parser.value(scriptsOption))) {
        std::fprintf(stderr, "ostrel-sim: map %s kan niet worden gelezen\n", qPrintable(parser.value(scriptsOption)));
        return 2;
    }
    if (!sim.start(quint16(parser.value(portOption).toUInt()))) {
        std::fprintf(stderr, "ostrel-sim: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    if (parser.isSet(portFileOption)) {
        QFile file(parser.value(portFileOption));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(QByteArray::number(sim.port()) + '\n') < 0) {
            std::fprintf(stderr, "ostrel-sim: %s\n", qPrintable(file.errorString()));
            return 1;
        }
    }
    std::printf("%s\n", qPrintable(sim.url()));
    std::fflush(stdout);

    if (!QuitOnStopSignals(app))
        return 1;
    const int code = QCoreApplication::exec();
    sim.stop();
    return code;
}
