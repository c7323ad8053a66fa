// The flash dialogue as plainly as Win32 allows, for bench_flash under Wine
// (bench/wine.sh): overlapped reads and writes each waited for on the spot,
// no event loop. What Wine's serial layer leaves any Windows program.
//
//   bench_rawhost COMn IMAGE   (IMAGE: the bytes of all blocks, 64 each)
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD BlockSize = 64;
constexpr char BlockReady = 0x6B;

bool finish(HANDLE port, OVERLAPPED &io, BOOL started, DWORD &count)
{
    return (started || GetLastError() == ERROR_IO_PENDING) && GetOverlappedResult(port, &io, &count, TRUE);
}

bool send(HANDLE port, OVERLAPPED &io, const char *data, DWORD size)
{
    DWORD count = 0;
    return finish(port, io, WriteFile(port, data, size, nullptr, &io), count) && count == size;
}

// A read returns what has come; under Wine it waits for the first byte.
bool awaitReady(HANDLE port, OVERLAPPED &io)
{
    char byte = 0;
    DWORD count = 0;
    do {
        if (!finish(port, io, ReadFile(port, &byte, 1, nullptr, &io), count))
            return false;
    } while (count == 0 || byte != BlockReady);
    return true;
}

bool drained(HANDLE port)
{
    for (int i = 0; i < 2000; ++i) {
        COMSTAT status {};
        DWORD errors = 0;
        if (!ClearCommError(port, &errors, &status))
            return false;
        if (status.cbOutQue == 0)
            return true;
        Sleep(1);
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    std::vector<char> image;
    if (FILE *file = std::fopen(argv[2], "rb")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            image.insert(image.end(), buffer, buffer + n);
        std::fclose(file);
    }
    const std::string path = std::string("\\\\.\\") + argv[1];
    const HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
    if (image.empty() || image.size() % BlockSize || port == INVALID_HANDLE_VALUE)
        return 1;
    DCB line {};
    line.DCBlength = sizeof line;
    line.BaudRate = 57600;
    line.fBinary = TRUE;
    line.ByteSize = 8;
    COMMTIMEOUTS timeouts {MAXDWORD, 0, 0, 0, 0};
    OVERLAPPED readIo {}, writeIo {};
    readIo.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    writeIo.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!SetCommState(port, &line) || !SetCommTimeouts(port, &timeouts))
        return 1;

    std::printf("Flash schreiben starten, bitte warten!\n");
    std::fflush(stdout);
    if (!send(port, writeIo, "@g#####;", 8))
        return 1;
    const DWORD blocks = DWORD(image.size() / BlockSize);
    std::vector<char> frame;
    for (DWORD block = 0; block < blocks; ++block) {
        const DWORD address = block * BlockSize;
        frame.assign({char(address & 0xFF), char((address >> 8) & 0xFF)});
        frame.insert(frame.end(), image.begin() + address, image.begin() + address + BlockSize);
        if (block == blocks - 1)
            frame.insert(frame.end(), 2, char(0xFF));
        if (!awaitReady(port, readIo) || !send(port, writeIo, frame.data(), DWORD(frame.size())))
            return 1;
    }
    if (!drained(port))
        return 1;
    std::printf("Flash neu beschrieben!\n");
    std::fflush(stdout);
    return 0;
}
