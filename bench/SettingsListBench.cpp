// Start and close of the base settings file with long reference lists: load + apply (start), save + write (close),
// beside one QXmlStreamReader pass over the same file as the floor.
//
//   settings_list_bench [lines per list]   (default 50000; all four lists that long)
//
// Prints the figures; asserts nothing.
#include "settings/MemoryControls.h"
#include "settings/SettingsStore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace
{

const Control kLists[] = {Control::BasicAccessibilityEquipments, Control::BasicIndications, Control::BasicProducts,
                          Control::BasicVehicleTypes};

double bestOf(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

void row(const char *measure, double ours, double floor, const char *goal)
{
    std::printf("BENCH\t%s\t%.1f ms\t%.1f ms (one QXmlStreamReader pass)\t%.2f\t%s\n", measure, ours, floor,
                ours / floor, goal);
}

} // namespace

int main(int argc, char *argv[])
{
    const int lines = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 50000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(SettingsStore::kBaseFileName));

    MemoryControls filled;
    for (const Control list : kLists) {
        QStringList values;
        values.reserve(lines);
        for (int i = 0; i < lines; ++i)
            values << QStringLiteral("%1=Omschrijving nummer %1 & co").arg(i);
        filled.setLines(list, values);
    }
    {
        SettingsStore first(path, SettingsFile::Base);
        first.save(filled);
        first.write();
    }
    const qint64 bytes = QFileInfo(path).size();

    double floor = bestOf(3, [&] {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        QXmlStreamReader reader(&file);
        while (!reader.atEnd())
            reader.readNext();
    });
    const double start = bestOf(3, [&] {
        SettingsStore store(path, SettingsFile::Base);
        store.load();
        MemoryControls controls;
        store.apply(controls);
        if (controls.lines(Control::BasicProducts).size() != lines)
            std::fprintf(stderr, "unexpected list length\n");
    });
    SettingsStore store(path, SettingsFile::Base);
    store.load();
    const double close = bestOf(3, [&] {
        store.save(filled);
        store.write();
    });
    std::printf("base settings file: 4 lists of %d lines, %.1f MB; best of 3\n", lines, double(bytes) / 1e6);
    row(qPrintable(QStringLiteral("settings start (load + apply), 4 x %1 lines").arg(lines)), start, floor, "linear");
    row(qPrintable(QStringLiteral("settings close (save + write), 4 x %1 lines").arg(lines)), close, floor, "linear");
    return 0;
}
