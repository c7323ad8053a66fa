// Times loading the HEX file that fills the whole firmware image
// (0x0000-0xFBFF, 16 bytes a record): from memory (parse and judge) and
// from the file. Prints the median and the fastest of many runs.
#include "image/HexLoader.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr int Runs = 501;

struct Figures
{
    double medianMs;
    double fastestMs;
};

Figures measure(const std::function<bool(HexLoader &)> &load)
{
    std::vector<double> ms;
    ms.reserve(Runs);
    const FirmwareImage start = emptyFirmwareImage();
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        HexLoader loader(start, 0);
        const bool accepted = load(loader);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        if (!accepted || loader.imageLength() != 0xFBFF) {
            std::fprintf(stderr, "not accepted: %s\n", qPrintable(loader.errorString()));
            std::exit(1);
        }
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front()};
}

} // namespace

int main()
{
    QFile file(ZW_HEX_FILE);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", ZW_HEX_FILE);
        return 1;
    }
    const QByteArray text = file.readAll();
    std::printf("%s: %lld bytes, %d runs\n", ZW_HEX_FILE, static_cast<long long>(text.size()), Runs);
    std::printf("%-28s %10s %10s\n", "", "median ms", "fastest ms");
    const Figures fromMemory = measure([&](HexLoader &loader) { return loader.loadText(text); });
    std::printf("%-28s %10.3f %10.3f\n", "loadText (parse + judge)", fromMemory.medianMs, fromMemory.fastestMs);
    const Figures fromFile = measure([](HexLoader &loader) { return loader.loadFile(ZW_HEX_FILE); });
    std::printf("%-28s %10.3f %10.3f\n", "loadFile (read + parse)", fromFile.medianMs, fromFile.fastestMs);
    return 0;
}
