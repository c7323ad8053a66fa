#include "device/WriteSession.h"

#include "record/FlashRecord.h"
#include "image/HexLoader.h"

#include <QDir>
#include <QFileInfo>

namespace {
constexpr std::chrono::seconds EraseTick {1};
} // namespace

WriteSession::WriteSession(const char *program, FlashRecord &record, QObject *parent)
    : QObject(parent), record(record)
{
    facts.program = QString::fromLatin1(program);
    eraseTicker.setInterval(EraseTick);
    connect(&eraseTicker, &QTimer::timeout, this, [this] { emit waiting(int(clock.elapsed() / 1000)); });
    connect(&writer, &FlashWriter::blockReleased, this, [this](int released, int total) {
        eraseTicker.stop();
        emit progressed(released, total);
    });
    connect(&writer, &FlashWriter::finished, this, &WriteSession::end);
}

void WriteSession::fileAccepted(const QString &path, const HexLoader &loader)
{
    // As the user writes it: C:\fw\x.hex on Windows.
    facts.file = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    facts.fileSize = loader.fileSize();
    facts.fileSha256 = loader.fileSha256();
}

bool WriteSession::start(QIODevice *line, const Target &target, const FirmwareImage &image, qint32 imageLength)
{
    if (running || writer.isRunning())
        return false;
    where = target;
    // Now, while it is there: a pulled adapter has no identity at the end.
    facts.usb = PortIdentity::of(target.device);
    facts.imageLength = imageLength;
    took = 0;
    clock.start();
    running = true;
    if (!writer.start(line, image, imageLength)) {
        end(false);
        return false;
    }
    eraseTicker.start();
    return true;
}

double WriteSession::seconds() const
{
    if (!running && clock.isValid())
        return took;
    return clock.isValid() ? double(clock.nsecsElapsed()) / 1e9 : 0.0;
}

void WriteSession::end(bool written)
{
    eraseTicker.stop();
    took = double(clock.nsecsElapsed()) / 1e9;
    running = false;
    facts.port = where.port;
    facts.device = where.device;
    facts.firmwareBefore = where.firmwareBefore;
    facts.outcome = writer.outcome();
    facts.seconds = took;
    entry = facts.entry();
    record.append(entry);
    emit finished(written);
}
