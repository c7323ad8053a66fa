#include "record/RecordFile.h"

#include <windows.h>

namespace {

HANDLE handleOf(qintptr descriptor)
{
    return reinterpret_cast<HANDLE>(descriptor);
}

// Windows locks are mandatory: a byte far beyond any record stands for the
// whole file, so that readers are never turned away.
OVERLAPPED lockedByte()
{
    OVERLAPPED at {};
    at.Offset = 0xFFFFFFFE;
    at.OffsetHigh = 0x7FFFFFFF;
    return at;
}

} // namespace

RecordFile::Lock RecordFile::tryLock()
{
    OVERLAPPED at = lockedByte();
    if (::LockFileEx(handleOf(descriptor), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return Lock::Taken;
    const DWORD reason = ::GetLastError();
    if (reason == ERROR_LOCK_VIOLATION || reason == ERROR_IO_PENDING)
        return Lock::Held;
    fail(int(reason));
    return Lock::Failed;
}

QString RecordFile::append(QByteArray line)
{
    const HANDLE handle = handleOf(descriptor);
    LARGE_INTEGER size {};
    char last = '\n';
    DWORD count = 0;
    if (!::GetFileSizeEx(handle, &size))
        return fail(int(::GetLastError()));
    if (size.QuadPart > 0) {
        LARGE_INTEGER at {};
        at.QuadPart = size.QuadPart - 1;
        if (::SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) && ::ReadFile(handle, &last, 1, &count, nullptr)
            && count == 1 && last != '\n')
            line.prepend('\n');
    }
    // Under the lock the end stays where it is until this line is in.
    if (!::SetFilePointerEx(handle, size, nullptr, FILE_BEGIN))
        return fail(int(::GetLastError()));
    DWORD written = 0;
    if (!::WriteFile(handle, line.constData(), DWORD(line.size()), &written, nullptr) || written != DWORD(line.size())) {
        const DWORD reason = written == 0 ? ::GetLastError() : DWORD(ERROR_DISK_FULL);
        ::SetFilePointerEx(handle, size, nullptr, FILE_BEGIN);
        ::SetEndOfFile(handle);
        return fail(int(reason));
    }
    close();
    return {};
}

void RecordFile::close()
{
    if (descriptor != -1)
        ::CloseHandle(handleOf(descriptor)); // drops the lock too
    descriptor = -1;
}

QString RecordFile::userName()
{
    return qEnvironmentVariable("USERNAME");
}
