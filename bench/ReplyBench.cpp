// Reading a RetrieveTrips reply: tab removal, reply check, normalisation, the trip walk and the tag reads a
// mapping makes per trip, for 1,000 and 10,000 trips, against one QXmlStreamReader pass over the same text.
// Also the normalisation of a reply nested 15,000 to 60,000 levels deep, and the whole call through the transport
// and the simulator. Prints figures; asserts nothing.
//
// Run: build/bench/reply_bench [repetitions]
#include "OstrelSim.h"

#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"
#include "link/SoapTransport.h"
#include "link/TextList.h"
#include "support/TestNetwork.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace
{

const QStringList kTripTags = {"tripexternalcomment",
                               "triptypeid",
                               "timeanchor",
                               "wheelchair",
                               "numberofzones",
                               "fromname",
                               "destinationname",
                               "passengers",
                               "eb",
                               "price",
                               "distance",
                               "fromdatetime",
                               "destinationdatetime",
                               "fromstreet",
                               "fromnumber",
                               "fromnumberextrainformation",
                               "fromzip",
                               "fromcity",
                               "destinationstreet",
                               "destinationnumber",
                               "destinationnumberextraInformation",
                               "destinationzip",
                               "destinationcity",
                               "productid"};
const QStringList kClientTags = {"lastname", "firstname",   "mobile", "comment",
                                 "number",   "combination", "phone",  "callbacknumber"};
const QStringList kViaTags = {"name", "street", "number",      "numberExtraInformation",
                              "zip",  "city",   "countrycode", "sequence"};

// Reads the items of a nested list the way the mapping does; returns a checksum so nothing is optimised away.
qsizetype readList(const TextList &text, const QString &list, const QString &item, const QStringList &tags)
{
    qsizetype sum = 0;
    ItemWalk walk(ReadXMLTag(text, list), item);
    QString itemText;
    while (walk.next(itemText)) {
        const TextList itemList(itemText);
        for (const QString &tag : tags)
            sum += ReadXMLTag(itemList, tag).size();
    }
    return sum;
}

// The retrieval cycle's reading of one reply, without the database.
qsizetype processReply(const QString &reply)
{
    QString text = reply;
    text.remove(u'\t');
    if (!ReplyAccepted(text, QStringLiteral("RetrieveTrips"), true))
        return -1;
    const QString normalized = NormalizeReply(text);
    qsizetype sum = ReadXMLTag(normalized, QStringLiteral("status")).size();
    ItemWalk trips(ReadXMLTag(normalized, QStringLiteral("triplist")), QStringLiteral("trip"));
    QString trip;
    while (trips.next(trip)) {
        sum += ReadXMLTag(trip, QStringLiteral("id")).size();
        const QString client = ReadXMLTag(trip, QStringLiteral("client"));
        if (!client.isEmpty())
            trip.remove(client);
        const TextList tripList(trip);
        const TextList clientList(client);
        sum += ReadXMLTag(tripList, QStringLiteral("tripaction")).size();
        for (const QString &tag : kTripTags)
            sum += ReadXMLTag(tripList, tag).size();
        const TextList vehicle(ReadXMLTag(tripList, QStringLiteral("vehicletype")));
        sum += ReadXMLTag(vehicle, QStringLiteral("id")).size() + ReadXMLTag(vehicle, QStringLiteral("name")).size();
        {
            ItemWalk vias(ReadXMLTag(tripList, QStringLiteral("vialocations")), QStringLiteral("vialocation"));
            QString via;
            while (vias.next(via)) {
                const TextList viaList(via);
                for (const QString &tag : kViaTags)
                    sum += ReadXMLTag(viaList, tag).size();
            }
        }
        sum += readList(tripList, QStringLiteral("accessibilityequipments"), QStringLiteral("accessibilityequipment"),
                        {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("amount")});
        sum += readList(tripList, QStringLiteral("clientindications"), QStringLiteral("clientindication"),
                        {QStringLiteral("id"), QStringLiteral("name")});
        sum += readList(tripList, QStringLiteral("extrafields"), QStringLiteral("extrafield"),
                        {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("value")});
        for (const QString &tag : kClientTags)
            sum += ReadXMLTag(clientList, tag).size();
        sum += readList(clientList, QStringLiteral("extrafields"), QStringLiteral("extrafield"),
                        {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("value")});
    }
    return sum;
}

qsizetype streamPass(const QString &reply)
{
    QXmlStreamReader reader(reply);
    qsizetype tokens = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        ++tokens;
    }
    return reader.hasError() ? -1 : tokens;
}

// The walk as first described: the rest of the list is copied after every item.
qsizetype copyingWalk(const QString &reply)
{
    QString rest = ReadXMLTag(NormalizeReply(reply), QStringLiteral("triplist"));
    const QString open = QStringLiteral("<trip>");
    const QString close = QStringLiteral("</trip>");
    qsizetype count = 0;
    for (;;) {
        const qsizetype a = rest.indexOf(open);
        const qsizetype b = rest.indexOf(close);
        if (a < 0 || b < 0)
            break;
        count += rest.mid(a, b + close.size() - a).size();
        rest = rest.mid(b + close.size());
    }
    return count;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Timing {
    double cpuMs = 1e300; // CPU time of this thread: steady on a shared machine
    double wallMs = 1e300;
};

// Best of the repetitions, in CPU time of the calling thread and in wall time.
Timing best(int repetitions, const std::function<qsizetype()> &work)
{
    Timing timing;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = threadCpuMs();
        const qsizetype result = work();
        const double cpu = threadCpuMs() - cpu0;
        if (result < 0)
            std::fprintf(stderr, "unexpected result\n");
        timing.cpuMs = std::min(timing.cpuMs, cpu);
        timing.wallMs = std::min(timing.wallMs, double(wall.nsecsElapsed()) / 1e6);
    }
    return timing;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    struct Row {
        int trips;
        double mb;
        Timing process;
        Timing stream;
    };
    std::vector<Row> rows;
    for (const int trips : {1000, 10000}) {
        OstrelSim::TripGeneration generation;
        generation.count = trips;
        generation.updateEvery = 10;
        generation.deleteEvery = 25;
        const QString reply = OstrelSim::retrieveTripsReply(generation);
        const double mb = double(reply.toUtf8().size()) / 1e6;
        const Timing process = best(repetitions, [&] { return processReply(reply); });
        const Timing stream = best(repetitions, [&] { return streamPass(reply); });
        rows.push_back({trips, mb, process, stream});
    }

    std::printf("RetrieveTrips reply: tab removal + check + normalisation + trip walk + per-trip tag reads\n");
    std::printf("best of %d runs; CPU ms of the thread (wall ms in brackets)\n\n", repetitions);
    std::printf("%7s %10s %22s %22s %15s\n", "trips", "MB(UTF-8)", "processing", "one QXmlStreamReader",
                "process/stream");
    for (const Row &row : rows)
        std::printf("%7d %10.1f %10.1f (%9.1f) %10.1f (%9.1f) %15.2f\n", row.trips, row.mb, row.process.cpuMs,
                    row.process.wallMs, row.stream.cpuMs, row.stream.wallMs, row.process.cpuMs / row.stream.cpuMs);
    std::printf("\n10k / 1k processing time: %.2f (linear: 10)\n", rows[1].process.cpuMs / rows[0].process.cpuMs);
    for (const Row &row : rows)
        std::printf("BENCH\treply reading, %dk trips (%.1f MB)\t%.1f ms\t%.1f ms (one QXmlStreamReader pass)\t%.2f\t"
                    "<= 3\n",
                    row.trips / 1000, row.mb, row.process.cpuMs, row.stream.cpuMs,
                    row.process.cpuMs / row.stream.cpuMs);
    if (rows.size() > 1)
        std::printf("BENCH\treply reading, %dk vs %dk\t%.2fx\t-\t-\t<= %dx\n", rows.back().trips / 1000,
                    rows.front().trips / 1000, rows.back().process.cpuMs / rows.front().process.cpuMs,
                    int(1.1 * rows.back().trips / rows.front().trips));

    // The copying walk for comparison, on small replies only (it is quadratic).
    std::printf("\nwalk that copies the rest per item (for comparison):\n");
    double first = 0;
    for (const int trips : {1000, 2000, 4000}) {
        OstrelSim::TripGeneration generation;
        generation.count = trips;
        const QString reply = OstrelSim::retrieveTripsReply(generation);
        const double ms = best(std::min(repetitions, 3), [&] { return copyingWalk(reply); }).cpuMs;
        if (first == 0)
            first = ms;
        std::printf("%7d trips %10.1f CPU ms  (x%.1f of 1k)\n", trips, ms, ms / first);
    }

    // A hostile reply nested deeply: the normalisation must take time in proportion to the reply's size.
    std::printf("\nnormalisation of a reply nested N levels deep (best of %d runs, CPU ms):\n", repetitions);
    double perLevel15k = 0;
    for (const int levels : {15000, 30000, 60000}) {
        const QString reply = QStringLiteral("<kwp><status>200</status><triplist>") +
                              QStringLiteral("<a>").repeated(levels) + QStringLiteral("x") +
                              QStringLiteral("</a>").repeated(levels) + QStringLiteral("</triplist></kwp>");
        const double ms = best(repetitions, [&] { return NormalizeReply(reply).size(); }).cpuMs;
        if (perLevel15k == 0)
            perLevel15k = ms / levels;
        std::printf("%7d levels %8.0f KB %10.1f CPU ms  (x%.2f of linear from 15k)\n", levels,
                    double(reply.size()) / 1024, ms, ms / (perLevel15k * levels));
        std::printf("BENCH\treply normalisation, %dk levels deep\t%.1f ms\t-\t%.2f\t<= 1.5x of linear\n", levels / 1000,
                    ms, ms / (perLevel15k * levels));
    }

    // The whole call: envelope out, 10k-trip reply back through HTTP on loopback, envelope read.
    OstrelSim sim;
    if (!sim.start()) {
        std::fprintf(stderr, "ostrel-sim: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    OstrelSim::TripGeneration generation;
    generation.count = 10000;
    sim.setGeneratedTrips(generation);
    const QString request =
        BuildRequest(QStringLiteral("3.8"), QStringLiteral("RetrieveTrips"), QStringLiteral("u"), QStringLiteral("p"));
    const Timing call =
        best(std::min(repetitions, 3), [&] { return CreateServiceProxy(TestNetwork(), sim.url())->xmlRequest(request).size(); });
    std::printf("\nxmlRequest of a 10k-trip RetrieveTrips through ostrel-sim on 127.0.0.1: %.1f ms wall\n",
                call.wallMs);
    std::printf("BENCH\txmlRequest of a 10k-trip reply, 127.0.0.1\t%.1f ms\t-\t-\t-\n", call.wallMs);
    return 0;
}
