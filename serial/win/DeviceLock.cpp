#include "serial/DeviceLock.h"

#include "serial/DeviceId.h"

#include <qt_windows.h>

DeviceLock::~DeviceLock()
{
    release();
}

// The port's exclusive open decides between programs and users. The named
// object lives in the user's own session, so another user cannot create
// it first and deny the port for ever.
PortFault DeviceLock::take(const QString &name, const QString &path)
{
    release();
    const DeviceId device = DeviceId::of(path);
    if (!device.isValid())
        return PortFault::missing(name, path);
    // Exists exactly as long as a holder has it open.
    const std::wstring objectName = QStringLiteral("Local\\zirbelwerk-%1").arg(device.key()).toStdWString();
    const HANDLE object = ::CreateMutexW(nullptr, FALSE, objectName.c_str());
    if (!object)
        return PortFault::other(name, path, qt_error_string(int(::GetLastError())));
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(object);
        return PortFault::held(name, path);
    }
    holder = reinterpret_cast<qintptr>(object);
    return {};
}

void DeviceLock::release()
{
    if (holder != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(holder));
    holder = -1;
}
