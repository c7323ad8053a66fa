// Appends COUNT long records to PATH as fast as it can, so that two of it
// running at once would interleave their lines if appending let them.
#include "device/FlashRecordFacts.h"
#include "record/FlashRecord.h"

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
    const QJsonObject entry = facts.entry();
    int left = std::atoi(argv[2]);
    QObject::connect(&record, &FlashRecord::appended, [&](bool written) {
        if (!written) {
            std::fprintf(stderr, "%s\n", qPrintable(record.errorString()));
            QCoreApplication::exit(1);
        } else if (--left == 0) {
            QCoreApplication::exit(0);
        }
    });
    for (int i = left; i > 0; --i)
        record.append(entry);
    return QCoreApplication::exec();
}
