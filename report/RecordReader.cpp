#include "report/RecordReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr qint64 Chunk = 4 * 1024 * 1024;
}

bool RecordReader::read(const QString &path)
{
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(path);
    // Only a regular file: a FIFO would wait for a writer.
    if (!info.exists()) {
        error = tr("Protokoll %1 nicht gefunden").arg(shown);
        return false;
    }
    if (!info.isFile()) {
        error = tr("%1 ist keine Datei").arg(shown);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = tr("Protokoll %1 nicht lesbar: %2").arg(shown, file.errorString());
        return false;
    }
    QByteArray buffer;
    qsizetype done = 0; // of buffer, the lines taken
    for (;;) {
        buffer.remove(0, done);
        done = 0;
        const qsizetype kept = buffer.size();
        buffer.resize(kept + Chunk);
        const qint64 got = file.read(buffer.data() + kept, Chunk);
        if (got < 0) {
            error = tr("Protokoll %1 nicht lesbar: %2").arg(shown, file.errorString());
            return false;
        }
        buffer.resize(kept + got);
        if (got == 0)
            break;
        for (qsizetype end = buffer.indexOf('\n', kept); end >= 0; end = buffer.indexOf('\n', done)) {
            take(QByteArrayView(buffer.constData() + done, end - done));
            done = end + 1;
        }
    }
    // A last line without its end, as a power cut leaves it.
    take(QByteArrayView(buffer.constData(), buffer.size()));
    return true;
}

void RecordReader::take(QByteArrayView text)
{
    if (text.trimmed().isEmpty())
        return;
    if (!scanner.scan(text, line)) {
        ++skipped;
        return;
    }
    ++readable;
    if (period.contains(line.utcMs))
        sum.add(line);
}
