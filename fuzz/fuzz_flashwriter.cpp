// The flash write against a line that answers with arbitrary bytes and
// arbitrary silences, in virtual time: the write always ends, within its
// time-outs; it sends nothing but the image's blocks, each released by a
// 0x6B; and it reports success only when the whole stream has left.
#include "device/FlashWriter.h"
#include "FlashStreamCheck.h"
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "ScriptedLine.h"
#include "VirtualTimeDispatcher.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

using namespace std::chrono_literals;

namespace {

// Longer than any wait of the writer: a write still running after this
// much silence never ends.
constexpr std::chrono::milliseconds EndlessSilence = 60s;
constexpr std::chrono::milliseconds SilenceStep = 1s;

VirtualTimeDispatcher &dispatcher()
{
    static VirtualTimeDispatcher *instance = [] {
        auto *created = new VirtualTimeDispatcher;
        QCoreApplication::setEventDispatcher(created);
        static int argc = 1;
        static char name[] = "fuzz_flashwriter";
        static char *argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
        return created;
    }();
    return *instance;
}

// Cells wider than a byte, as an image may hold them; only the low 8 bits
// may be sent. On the heap, so that a cell read past the end is caught.
const FirmwareImage &image()
{
    static const auto cells = [] {
        auto made = std::make_unique<FirmwareImage>();
        for (int i = 0; i < FirmwareCellCount; ++i)
            (*made)[std::size_t(i)] = qint32(quint32(i) * 2654435761u);
        return made;
    }();
    return *cells;
}

// Mostly short images, whose writes are quick to play through; also any
// length a loader could give, lengths near the end of the cells, and any
// 32-bit value.
qint32 pickLength(FuzzInput &in)
{
    const quint8 kind = in.byte();
    if (kind < 0x10)
        return qint32(in.u32());
    if (kind < 0x20)
        return FirmwareCellCount - 1 - in.byte();
    if (kind < 0x40)
        return qint32(in.word() % 0xFC10) - 16; // up to 0xFBFF
    return qint32(in.word() % 0x200) - 16;
}

class Session
{
public:
    explicit Session(FuzzInput &in, VirtualTimeDispatcher &clock)
        : in(in), clock(clock), length(pickLength(in)), check(image(), length)
    {
    }

    void run();

private:
    void begin();
    void play(quint8 op);
    void pass(std::chrono::milliseconds span);
    void checkBounded();
    void finish();

    FuzzInput &in;
    VirtualTimeDispatcher &clock;
    qint32 length;
    FlashStreamCheck check;
    FlashWriter writer;
    ScriptedLine *line = nullptr;
    bool started = false;
    int outcomes = 0;
    bool written = false;
    int progress = 0;
    std::chrono::milliseconds progressAt{0};
};

void Session::run()
{
    begin();
    while (started && !in.atEnd())
        play(in.byte());
    finish();
}

void Session::begin()
{
    line = new ScriptedLine(&check);
    const quint8 setup = in.byte();
    if (setup % 8 != 0)
        line->open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    if (setup & 0x80) {
        const int write = in.byte() % 4 + 1;
        line->failWrite(write, in.byte() % 8);
    }
    line->deliver(in.bytes(in.byte() % 4)); // stale input from before the write

    QObject::connect(&writer, &FlashWriter::finished, [this](bool ok) {
        ++outcomes;
        written = ok;
        check.close();
    });
    progressAt = clock.now();
    started = writer.start(line, image(), length);
    if (!line->isOpen() || !check.writable())
        fuzzCheck(!started, "a write began that cannot be made");
    if (!started)
        fuzzCheck(writer.failure() != FlashWriter::Failure::None, "refused start without a reason");
}

void Session::play(quint8 op)
{
    switch (op % 8) {
    case 0:
    case 1:
        line->deliver(in.bytes(in.byte() % 8 + 1));
        if (op & 0x10)
            line->notify();
        break;
    case 2:
        pass(std::chrono::milliseconds(in.byte()));
        break;
    case 3:
        pass(std::chrono::milliseconds(in.word() % 20000));
        break;
    case 4:
        line->setHeld(op & 0x10);
        break;
    case 5: {
        const int write = in.byte() % 3 + 1;
        line->failWrite(write, in.byte() % 70);
        break;
    }
    case 6:
        fuzzCheck(!writer.isRunning() || !writer.start(line, image(), length), "a second write began");
        break;
    case 7:
        if (op & 0x10) {
            line->close();
        } else if (op & 0x20) {
            delete line;
            line = new ScriptedLine(&check); // a closed stand-in for the script
        }
        break;
    }
    checkBounded();
}

void Session::pass(std::chrono::milliseconds span)
{
    line->notify();
    line->flush();
    checkBounded();
    clock.advance(span);
    checkBounded();
}

// Every wait of the writer is bounded by a time-out counted from the start
// or from the latest block.
void Session::checkBounded()
{
    if (check.blocksStarted() != progress) {
        progress = check.blocksStarted();
        progressAt = clock.now();
    }
    if (!writer.isRunning())
        return;
    const auto bound = progress == 0 ? FlashWriter::FirstReplyTimeout
                                     : std::max(FlashWriter::BlockReplyTimeout, FlashWriter::SendTimeout);
    fuzzCheck(clock.now() - progressAt <= bound, "the write outlived its time-out");
}

void Session::finish()
{
    if (started) {
        // The outcome comes from the event loop, after the write has stopped.
        for (auto silent = 0ms; (writer.isRunning() || outcomes == 0) && silent < EndlessSilence;
             silent += SilenceStep)
            pass(SilenceStep);
        fuzzCheck(!writer.isRunning(), "the write never ended");
        fuzzCheck(outcomes == 1, "not exactly one outcome");
        fuzzCheck(writer.replyCount() == check.repliesRead(), "reply count differs from the bytes read");
    } else {
        fuzzCheck(outcomes == 0, "an outcome without a write");
    }
    if (written) {
        fuzzCheck(check.complete(), "success reported before the whole image had left");
        fuzzCheck(check.released() >= check.blocks(), "success reported with blocks no 0x6B released");
        fuzzCheck(writer.blocksSent() == check.blocks(), "success reported with blocks unsent");
    } else if (started) {
        fuzzCheck(writer.failure() != FlashWriter::Failure::None, "failure without a reason");
        fuzzCheck(!writer.errorString().isEmpty(), "failure without a text");
    }
    // Late answers after the outcome must not make the host send anything,
    // nor bring a second outcome.
    line->deliver(QByteArray(4, FlashWriter::BlockReady));
    pass(FlashWriter::FirstReplyTimeout);
    fuzzCheck(outcomes == (started ? 1 : 0), "an outcome after the end");
    delete line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    VirtualTimeDispatcher &clock = dispatcher();
    FuzzInput in(data, size);
    Session(in, clock).run();
    return 0;
}
