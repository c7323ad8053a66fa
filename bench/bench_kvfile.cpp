// Times the phases of a typical use of a large key/value file: load,
// lookups, updates and the sorted save. Prints one line per phase.

#include "kvfile/KeyValueFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kLines = 10'000;
constexpr int kGets = 10'000;
constexpr int kSets = 1'000;

QString keyOf(int i)
{
    return QStringLiteral("key%1").arg(i, 5, 10, QLatin1Char('0'));
}

bool writeInput(const QString &path)
{
    QByteArray text;
    // Reverse order so that load has real sorting to do.
    for (int i = kLines - 1; i >= 0; --i)
        text += keyOf(i).toLatin1() + '=' + QByteArray::number(i) + '\n';
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

void report(const char *phase, QElapsedTimer &timer)
{
    std::printf("%-24s %10.3f ms\n", phase, timer.nsecsElapsed() / 1e6);
    std::fflush(stdout);
    timer.restart();
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.txt"));
    if (!dir.isValid() || !writeInput(path)) {
        std::fprintf(stderr, "cannot write the input file\n");
        return 1;
    }

    KeyValueFile kv;
    QElapsedTimer timer;
    timer.start();
    if (!kv.load(path))
        return 1;
    report("load 10000 lines", timer);

    // Keys spread over the whole file: the average lookup scans half of it.
    qint64 sum = 0;
    for (int i = 0; i < kGets; ++i)
        sum += kv.getInt(keyOf(i * 7919 % kLines), -1);
    report("getInt x10000", timer);

    for (int i = 0; i < kSets; ++i)
        kv.setInt(keyOf(i * 7919 % kLines), i);
    report("setInt x1000", timer);

    if (!kv.save())
        return 1;
    report("save", timer);

    std::printf("checksum %lld\n", static_cast<long long>(sum));
    return 0;
}
