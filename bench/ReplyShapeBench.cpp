// Peak memory and time of reading a reply of each hostile shape at the size an action allows: nested elements
// (at the depth limit, and beyond it), one flat text, many small elements, many attributes (at both attribute
// limits). Each reply is served by the simulator program from a file and read in a process of its own, as the
// program reads it: the retrieval cycle for RetrieveTrips, the list refresh for a reference list. Prints figures;
// asserts nothing.
//
// Run: build/bench/reply_shape_bench [MB] [action] [shape ...]   (default 256 RetrieveTrips, every shape)
#include "OstrelSim.h"

#include "base/VoranoError.h"
#include "link/KwpDocument.h"
#include "link/MarkupLimits.h"
#include "reference/ReferenceLists.h"
#include "support/CycleHarness.h"
#include "support/ProcessMemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>

namespace
{

// Writes a reply body of about `bytes` bytes: the head, the unit repeated, the tail. The unit is kwp text
// (escaped into the return string) or envelope markup as it stands.
struct Shape {
    const char *name;
    const char *what;
    bool inEnvelope; // the repeated part is markup of the envelope, not of the kwp document
    std::function<QByteArray()> unit;
};

QByteArray escaped(const QByteArray &kwp)
{
    QByteArray out = kwp;
    out.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
    return out;
}

QByteArray nested(int depth)
{
    return QByteArray("<a>").repeated(depth) + "x" + QByteArray("</a>").repeated(depth);
}

QByteArray attributes(int count, int valueBytes)
{
    QByteArray out = "<a";
    const QByteArray value(valueBytes, 'v');
    for (int i = 0; i < count; ++i)
        out += " a" + QByteArray::number(i) + "=\"" + value + '"';
    return out + "/>";
}

QList<Shape> shapes(qint64 bytes)
{
    // Just under 100,000 attributes in all, 256 on each element, their values filling the reply.
    const int valueBytes = int(std::max<qint64>(1, bytes / (kMaxAttributes - 2000)));
    return {
        {"nested", "kwp nested 252 levels deep (the limit is 256), again and again", false,
         [] { return nested(kMaxDepth - 8); }},
        {"too-deep", "kwp nested beyond the depth limit (refused)", false, [bytes] { return nested(int(bytes / 19)); }},
        {"envelope-deep", "the envelope nested beyond the depth limit (refused)", true,
         [bytes] { return nested(int(bytes / 7)); }},
        {"flat-text", "one text", false, [] { return QByteArray(1 << 20, 'x'); }},
        {"small-elements", "many small elements", false, [] { return QByteArray("<a/>").repeated(1 << 16); }},
        {"attributes", "256 attributes an element, just under 100,000 in all", false,
         [valueBytes] { return attributes(kMaxAttributesPerElement, valueBytes); }},
    };
}

QByteArray kwpHead(const QString &action)
{
    return "<kwp version=\"3.8\"><body><action><name>" + action.toLatin1() + "</name><status>200</status><triplist>";
}
const QByteArray kKwpTail = "</triplist></action></body></kwp>";

// The HTTP answer with the body of one shape, written to path; returns the body's size.
qint64 writeReply(const QString &path, const Shape &shape, const QString &action, qint64 bytes)
{
    const QByteArray marker = "@@BODY@@";
    const QByteArray envelope = OstrelSim::responseEnvelope(QString::fromLatin1(marker));
    const qsizetype at = envelope.indexOf(marker);
    QByteArray head = envelope.left(at);
    QByteArray tail = envelope.mid(at + marker.size());
    QByteArray unit = shape.unit();
    if (shape.inEnvelope) {
        head += escaped(kwpHead(action)) + escaped(kKwpTail);
    } else {
        head += escaped(kwpHead(action));
        tail.prepend(escaped(kKwpTail));
        unit = escaped(unit);
    }
    const qint64 units = std::max<qint64>(1, (bytes - head.size() - tail.size()) / unit.size());
    const qint64 size = head.size() + units * unit.size() + tail.size();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    file.write("HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
               QByteArray::number(size) + "\r\n\r\n");
    file.write(head);
    for (qint64 i = 0; i < units; ++i)
        file.write(unit);
    file.write(tail);
    return file.error() == QFileDevice::NoError ? size : -1;
}

// In the child: one read of the action's reply as the program does it; prints peak KiB, ms and the first log line.
int readRun(const QString &action, const QString &url)
{
    CycleHarness h(CycleHarness::AtUrl, url);
    h.controls.setChecked(Control::BackupsMaken, false);
    h.controls.setChecked(Control::xVerwerken, true);
    h.db.open();
    QString outcome = QStringLiteral("gelezen");
    QElapsedTimer t;
    t.start();
    try {
        if (action == QLatin1String(KwpAction::RetrieveTrips)) {
            h.tripImport.runRetrievalCycle(h.ctx());
        } else {
            FetchReferenceList(h.ctx(), ReferenceList::VehicleTypes);
        }
    } catch (const VoranoError &e) {
        outcome = e.message();
    }
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (!h.log.isEmpty())
        outcome = h.log.first();
    std::printf("%ld %.0f %s\n", ReadProcessMemory().peakResidentKiB, ms, qPrintable(outcome.left(150)));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--read") == 0)
        return readRun(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    const qint64 mb = argc > 1 ? std::atoll(argv[1]) : 256;
    const QString action = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QLatin1String(KwpAction::RetrieveTrips);
    QStringList only;
    for (int i = 3; i < argc; ++i)
        only << QString::fromLocal8Bit(argv[i]);
    const qint64 bytes = mb * 1024 * 1024 - 4096;

    std::printf("%s reply of about %lld MB, read in a process of its own\n", qPrintable(action), mb);
    std::printf("%-15s %10s %12s %10s  %s\n", "shape", "body MB", "peak MB", "ms", "outcome");
    for (const Shape &shape : shapes(bytes)) {
        if (!only.isEmpty() && !only.contains(QLatin1String(shape.name)))
            continue;
        QTemporaryDir tmp;
        const QString scripts = tmp.filePath(QStringLiteral("scripts"));
        QDir().mkpath(scripts);
        const qint64 size =
            writeReply(scripts + QLatin1Char('/') + action + QLatin1String(".1.http"), shape, action, bytes);
        if (size < 0) {
            std::fprintf(stderr, "could not write the reply\n");
            return 1;
        }
        const QString portFile = tmp.filePath(QStringLiteral("port"));
        QProcess sim;
        sim.start(QStringLiteral(VORANO_BINARY_DIR "/tools/ostrel-sim/ostrel-sim"),
                  {QStringLiteral("--scripts"), scripts, QStringLiteral("--port-file"), portFile});
        QString port;
        for (int i = 0; i < 1200 && port.isEmpty() && sim.waitForStarted(10000); ++i) {
            QThread::msleep(50);
            QFile f(portFile);
            if (f.open(QIODevice::ReadOnly))
                port = QString::fromLatin1(f.readAll()).trimmed();
        }
        QProcess run;
        run.start(
            QString::fromLocal8Bit(argv[0]),
            {QStringLiteral("--read"), action, QStringLiteral("http://127.0.0.1:%1/_external/external.cfc").arg(port)});
        run.waitForFinished(30 * 60 * 1000);
        const QList<QByteArray> fields = run.readAllStandardOutput().trimmed().split(' ');
        const double peakMb = fields.value(0).toDouble() / 1024;
        const double bodyMb = double(size) / 1048576;
        std::printf("%-15s %10.1f %12.1f %10s  %s\n", shape.name, bodyMb, peakMb, fields.value(1).constData(),
                    fields.mid(2).join(' ').constData());
        std::printf("BENCH\treply shape %s, %s, %.0f MB body\t%.1f MB\t-\t%.2f x body\t-\n", shape.name,
                    qPrintable(action), bodyMb, peakMb, peakMb / bodyMb);
        std::fflush(stdout);
        sim.terminate();
        if (!sim.waitForFinished(5000))
            sim.kill();
    }
    return 0;
}
