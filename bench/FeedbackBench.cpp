// Prints what the return-message cycle costs per event against the local service simulator and SQLite, and the
// floor measured in the same run: per event one HTTP round trip with the same document through the same
// transport, plus the transaction insert and the status update issued directly through the same driver.
//
//     build/bench/feedback_bench [events] [rounds]
//
// The events are taken in blocks of 50; for each block the cycle (copies off, copies on), the floor and its two
// parts run one after another on the block's events, made pending again before each. Printed: the mean per event.

#include "feedback/StatusDocument.h"
#include "link/SoapTransport.h"
#include "support/CycleHarness.h"
#include "support/TestNetwork.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>

namespace
{

void arrange(DispatchDb &db, int events)
{
    QSqlDatabase c = db.connection();
    c.transaction();
    db.exec(QStringLiteral("insert into wagens (wag_id, wag_kenteken, wag_taxis) values (1, '12-ABC-3', 17)")).finish();
    const QDateTime start(QDate(2015, 3, 31), QTime(8, 0));
    for (int i = 1; i <= events; ++i) {
        db.exec(QStringLiteral("insert into Planning (pla_id, pla_wagen, pla_extern, pla_status, pla_lopers, "
                               "pla_rollers, pla_odo_start, pla_odo_stop, pla_tijdstip_bestemmen, "
                               "pla_tijdstip_vrijmelden) values (?, 1, ?, 'W', 1, 0, 1000.5, 1012.25, ?, ?)"),
                {i, 500000 + i, start.addSecs(i * 60), start.addSecs(i * 60 + 900)})
            .finish();
        db.exec(QStringLiteral("insert into koppelingen (kop_id, kop_pla_id, kop_type, kop_status, kop_eigenaar, "
                               "kop_datumtijd, kop_latitude, kop_longitude) values (?, ?, ?, 0, '007', ?, "
                               "52.370216, 4.895168)"),
                {i, i, i % 3 == 0 ? 0 : 2, start.addSecs(i)})
            .finish();
    }
    c.commit();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int events = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;

    CycleHarness h;
    if (!h.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(h.error()));
        return 1;
    }
    h.controls.setText(Control::Eigenaar, QStringLiteral("007"));
    h.pump.qtEvents = true;
    arrange(h.db, events);

    // The floor's document: a processTrips document of the same size as the cycle's.
    EventRow sample;
    sample.pla_id = 1;
    sample.pla_extern = 500001;
    const QString document = TextList(BuildStatusDocument(sample, {}, {})).text();
    const QString insert = QStringLiteral("INSERT INTO TRANSACTIES (tra_gebruiker, tra_ritstaat, tra_rit, tra_wagen, "
                                          "tra_chauffeur, tra_code, tra_opmerking) VALUES  (0,0,%1,0,0,94,?)");

    // The three ways are interleaved block by block, so that a slow moment of the shared disk or network falls on
    // all of them alike. Before each way the block's events are made pending again.
    enum Way { Floor, CycleOff, CycleOn, RoundTrip, Statements, Ways };
    double total[Ways] = {};
    const int block = std::min(events, 50);
    for (int r = 0; r < rounds; ++r) {
        for (int first = 1; first <= events; first += block) {
            const int last = std::min(events, first + block - 1);
            for (int k = 0; k < Ways; ++k) {
                const Way way = static_cast<Way>((k + first / block) % Ways);
                h.db.exec(QStringLiteral("update koppelingen set kop_status=case when kop_id between ? and ? then 0 "
                                         "else 1 end"),
                          {first, last})
                    .finish();
                h.db.exec(QStringLiteral("delete from TRANSACTIES")).finish();
                QElapsedTimer t;
                t.start();
                switch (way) {
                case CycleOff:
                case CycleOn:
                    h.controls.setChecked(Control::BackupsMaken, way == CycleOn);
                    h.retourCycle.RetourTimerTimer(h.ctx());
                    break;
                default:
                    for (int i = first; i <= last; ++i) {
                        if (way != Statements)
                            CreateServiceProxy(TestNetwork(), h.sim.url())->xmlRequest(document);
                        if (way != RoundTrip) {
                            h.db.exec(insert.arg(i), {QStringLiteral("200")}).finish();
                            h.db.exec(QStringLiteral("update koppelingen set kop_status=1 where kop_id=") +
                                      QString::number(i))
                                .finish();
                        }
                    }
                    break;
                }
                total[way] += t.nsecsElapsed() / 1e6;
                if (way == CycleOff || way == CycleOn) {
                    QSqlQuery sent = h.db.exec(QStringLiteral("select count(*) from koppelingen where kop_status=1"));
                    const int count = sent.next() ? sent.value(0).toInt() : -1;
                    sent.finish();
                    if (count != events || !h.log.isEmpty()) {
                        std::fprintf(stderr, "the cycle did not send every event (%d errors)\n", int(h.log.size()));
                        return 1;
                    }
                }
            }
        }
    }
    const double n = double(events) * rounds;
    const double f = total[Floor] / n;
    std::printf("return-message cycle, %d events x %d rounds, SQLite + simulator on 127.0.0.1\n", events, rounds);
    std::printf("  floor (round trip + insert + update)  %8.3f ms/event\n", f);
    std::printf("    of which the round trip alone       %8.3f ms/event\n", total[RoundTrip] / n);
    std::printf("    of which insert + update alone      %8.3f ms/event\n", total[Statements] / n);
    std::printf("  cycle, copies off                     %8.3f ms/event  %.2fx floor\n", total[CycleOff] / n,
                total[CycleOff] / n / f);
    std::printf("  cycle, copies on                      %8.3f ms/event  %.2fx floor\n", total[CycleOn] / n,
                total[CycleOn] / n / f);
    std::printf("BENCH\treturn cycle per event, copies off\t%.3f ms\t%.3f ms (round trip + insert + update)\t%.2f\t"
                "<= 1.5\n",
                total[CycleOff] / n, f, total[CycleOff] / n / f);
    std::printf("BENCH\treturn cycle per event, copies on\t%.3f ms\t%.3f ms\t%.2f\t<= 1.5\n", total[CycleOn] / n, f,
                total[CycleOn] / n / f);
    return 0;
}
