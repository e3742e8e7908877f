// Prints what one service call costs over HTTPS against the local service simulator (TLS, self-signed, relaxed
// checks), with kept-alive connections and with a new connection per call, beside the plain-HTTP cost of the same
// run. The documents are those of the retrieval cycle's confirmations and of the return cycle's status messages.
//
//     build/bench/transport_bench [calls] [rounds]        (default: 300 calls, 3 rounds)
//
// Every round runs each of the four ways in turn (so a busy machine hurts them alike); the fastest round of each
// way is printed, per call.

#include "link/KwpDocument.h"
#include "link/SoapTransport.h"

#include "OstrelSim.h"
#include "support/TestNetwork.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace
{

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Milliseconds per call for calls alternating a confirmation and a status message; -1 when a call fails.
double perCall(const QString &url, bool keep, int calls)
{
    ServiceProxyOptions options;
    options.ignoreCertificateErrors = true;
    options.keepConnections = keep;
    const QString confirm = BuildRequest(QStringLiteral("1.0"), QLatin1String(KwpAction::ConfirmTrips),
                                         QStringLiteral("taxi"), QStringLiteral("geheim"),
                                         QStringLiteral("<trip><id>100001</id><externalID>4711</externalID></trip>"));
    const QString status = BuildRequest(QStringLiteral("2.3"), QLatin1String(KwpAction::SendStatus),
                                        QStringLiteral("taxi"), QStringLiteral("geheim"),
                                        QStringLiteral("<trip><id>100001</id><status>ARRIVED</status>"
                                                       "<datetime>201503310815</datetime></trip>"));
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < calls; ++i) {
        try {
            CreateServiceProxy(TestNetwork(), url, options)->xmlRequest(i % 2 ? status : confirm);
        } catch (...) {
            return -1;
        }
    }
    return t.nsecsElapsed() / 1e6 / calls;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    OstrelSim plain;
    OstrelSim tls;
    const QString data = QStringLiteral(VORANO_SOURCE_DIR "/tests/data/link/");
    if (!plain.start() || !tls.startTls(readFile(data + QStringLiteral("sim-localhost.crt")),
                                        readFile(data + QStringLiteral("sim-localhost.key")))) {
        std::fprintf(stderr, "simulator: %s %s\n", qPrintable(plain.errorString()), qPrintable(tls.errorString()));
        return 1;
    }
    plain.setKeepAlive(true);
    tls.setKeepAlive(true);
    // A server that closes every connection after its reply, as the simulator does by default.
    OstrelSim closing;
    if (!closing.start())
        return 1;
    const double closingMs = perCall(closing.url(), true, calls);
    std::printf("  plain HTTP, server closes every connection: %.3f ms per call\n", closingMs);
    std::fflush(stdout);

    const double inf = std::numeric_limits<double>::infinity();
    double httpKept = inf, httpNew = inf, httpsKept = inf, httpsNew = inf;
    perCall(tls.url(), true, 10); // warm-up: libraries, certificates
    for (int r = 0; r < rounds; ++r) {
        const double a = perCall(plain.url(), true, calls);
        const double b = perCall(plain.url(), false, calls);
        const double c = perCall(tls.url(), true, calls);
        const double d = perCall(tls.url(), false, calls);
        if (a < 0 || b < 0 || c < 0 || d < 0) {
            std::fprintf(stderr, "a call failed\n");
            return 1;
        }
        httpKept = std::min(httpKept, a);
        httpNew = std::min(httpNew, b);
        httpsKept = std::min(httpsKept, c);
        httpsNew = std::min(httpsNew, d);
        plain.clearRequests();
        tls.clearRequests();
    }
    std::printf("service call per call, %d calls x %d rounds, simulator on 127.0.0.1 (fastest round)\n", calls, rounds);
    std::printf("  plain HTTP: kept %.3f ms, new connection %.3f ms\n", httpKept, httpNew);
    std::printf("  HTTPS:      kept %.3f ms, new connection %.3f ms\n", httpsKept, httpsNew);
    std::printf("BENCH\tcall over HTTPS, kept connections\t%.3f ms\t%.3f ms (plain HTTP, new connection)\t%.2f\t"
                "<= 1.2\n",
                httpsKept, httpNew, httpsKept / httpNew);
    std::printf("BENCH\tcall over HTTPS, kept connections vs plain HTTP kept\t%.3f ms\t%.3f ms\t%.2f\t-\n", httpsKept,
                httpKept, httpsKept / httpKept);
    std::printf("BENCH\tcall over HTTPS, new connection per call\t%.3f ms\t%.3f ms (plain HTTP, new connection)\t"
                "%.2f\t-\n",
                httpsNew, httpNew, httpsNew / httpNew);
    return 0;
}
