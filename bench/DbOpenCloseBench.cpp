// Prints what opening and closing the dispatch database costs. The import closes the connection after every new
// ride, so this is paid once per ride. SQLite through QSQLITE, PostgreSQL through QODBC ("PostgreSQL Unicode")
// on a throwaway local server.
//
//     build/bench/db_open_close_bench [rounds]

#include "db/DispatchDb.h"
#include "settings/MemoryControls.h"
#include "support/PgServer.h"
#include "support/TempProgramDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

void measure(const char *label, DispatchDb &db, int rounds, bool withStatement)
{
    db.open(); // the first opening may create the database; not counted
    db.close();
    std::vector<double> ms;
    ms.reserve(rounds);
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        db.open();
        if (withStatement)
            db.exec(QStringLiteral("select count(*) from constanten")).finish();
        db.close();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    std::printf("%-48s rounds %4d  mean %8.3f ms  median %8.3f ms  p95 %8.3f ms  max %8.3f ms\n", label, rounds,
                sum / rounds, ms[ms.size() / 2], ms[std::min(ms.size() - 1, size_t(ms.size() * 0.95))], ms.back());
    std::printf("BENCH\tdatabase %s (median)\t%.2f ms\t-\t-\tcheap\n", label, ms[ms.size() / 2]);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    TempProgramDir dir;
    {
        MemoryControls controls;
        controls.setText(Control::xLoginDriver, QStringLiteral("SQLite"));
        DispatchDb db(controls, dir.path());
        measure("SQLite (QSQLITE): open+close", db, rounds, false);
        measure("SQLite (QSQLITE): open+select+close", db, rounds, true);
    }

    PgServer pg;
    if (!pg.ok()) {
        std::fprintf(stderr, "PostgreSQL could not be started: %s\n", qPrintable(pg.error()));
        return 1;
    }
    MemoryControls controls;
    pg.applyTo(controls);
    DispatchDb db(controls, dir.path());
    measure("PostgreSQL (QODBC, psqlODBC): open+close", db, rounds, false);
    measure("PostgreSQL (QODBC, psqlODBC): open+select+close", db, rounds, true);
    return 0;
}
