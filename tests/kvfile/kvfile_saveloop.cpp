// Loads the file named on the command line, advances its generation keys
// and saves it again, for ever. Prints one line per completed save so that
// the caller knows the loop is running before it kills the process.

#include "kvfile/KeyValueFile.h"

#include <QString>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    for (;;) {
        KeyValueFile kv;
        if (!kv.load(path))
            return 1;
        const qint64 next = kv.getLongLong(QStringLiteral("a_gen"), -1) + 1;
        for (const char *key : {"a_gen", "m_gen", "z_gen"})
            kv.setLongLong(QString::fromLatin1(key), next);
        if (!kv.save())
            return 1;
        std::printf("saved %lld\n", static_cast<long long>(next));
        std::fflush(stdout);
    }
}
