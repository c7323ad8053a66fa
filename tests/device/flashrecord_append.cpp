// Appends COUNT long records to PATH as fast as it can, so that two of it
// running at once would interleave their lines if appending let them.
#include "device/FlashRecord.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 4) {
        std::fputs("usage: flashrecord_append PATH COUNT TAG\n", stderr);
        return 2;
    }
    FlashRecordFacts facts;
    facts.program = QString::fromLocal8Bit(argv[3]);
    // Longer than a pipe's atomic write and a page.
    facts.file = QString(70000, QLatin1Char('x'));
    FlashRecord record(QString::fromLocal8Bit(argv[1]));
    const QJsonObject entry = FlashRecord::entry(facts);
    for (int i = std::atoi(argv[2]); i > 0; --i) {
        if (!record.append(entry)) {
            std::fprintf(stderr, "%s\n", qPrintable(record.errorString()));
            return 1;
        }
    }
    return 0;
}
