// Soak of time-outs: a service that accepts connections and never answers, called again and again with a small
// no-progress limit. Prints the process's threads and open descriptors every 100 time-outs; flat figures mean that
// a stopped call leaves nothing behind.
//
// timeout_soak_bench [time-outs] [no-progress-ms]

#include "base/VoranoError.h"
#include "link/SoapTransport.h"
#include "support/HostileServer.h"
#include "support/ProcessMemory.h"
#include "support/TestNetwork.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int timeOuts = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int noProgressMs = argc > 2 ? std::atoi(argv[2]) : 50;

    HostileServer server(HostileServer::Script{{HostileServer::Step::Hold}});
    ServiceProxyOptions options;
    options.noProgressTimeoutMs = noProgressMs;
    int failures = 0;
    const auto call = [&] {
        try {
            CreateServiceProxy(TestNetwork(), server.url(), options)->xmlRequest(QStringLiteral("<kwp/>"));
        } catch (const TransportError &) {
            ++failures;
        }
    };

    call(); // the network thread starts with the first call
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int threadsAtStart = ThreadCount();
    const int descriptorsAtStart = OpenDescriptors();
    std::printf("%-10s %8s %12s\n", "time-outs", "threads", "descriptors");
    std::printf("%-10d %8d %12d\n", 0, threadsAtStart, descriptorsAtStart);
    QElapsedTimer timer;
    timer.start();
    for (int i = 1; i <= timeOuts; ++i) {
        call();
        if (i % 100 == 0 || i == timeOuts)
            std::printf("%-10d %8d %12d\n", i, ThreadCount(), OpenDescriptors());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int threadsGrowth = ThreadCount() - threadsAtStart;
    const int descriptorsGrowth = OpenDescriptors() - descriptorsAtStart;
    std::printf("time-out soak: %d calls stopped in %.1f s\n", failures - 1, timer.elapsed() / 1000.0);
    std::printf("BENCH\ttime-out soak thread growth over %d time-outs\t%d\t-\t-\t0\n", timeOuts, threadsGrowth);
    std::printf("BENCH\ttime-out soak descriptor growth over %d time-outs\t%d\t-\t-\t0\n", timeOuts, descriptorsGrowth);
    return failures == timeOuts + 1 ? 0 : 1;
}
