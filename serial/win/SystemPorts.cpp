#include "serial/SystemPorts.h"

#include "serial/PortNames.h"
#include "UsbInstanceId.h"

#include <qt_windows.h>

#include <cfgmgr32.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <array>
#include <cwchar>
#include <vector>

namespace {

QString registryText(HKEY key, const wchar_t *value)
{
    std::array<wchar_t, 256> text {};
    DWORD size = DWORD(sizeof(text) - sizeof(wchar_t));
    DWORD type = 0;
    if (::RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE *>(text.data()), &size) != ERROR_SUCCESS
        || type != REG_SZ)
        return {};
    return QString::fromWCharArray(text.data());
}

QString deviceText(HDEVINFO set, SP_DEVINFO_DATA *device, DWORD property)
{
    std::array<wchar_t, 512> text {};
    if (!::SetupDiGetDeviceRegistryPropertyW(set, device, property, nullptr, reinterpret_cast<BYTE *>(text.data()),
                                             DWORD(sizeof(text) - sizeof(wchar_t)), nullptr))
        return {};
    return QString::fromWCharArray(text.data());
}

QString instanceId(DEVINST instance)
{
    std::array<wchar_t, MAX_DEVICE_ID_LEN + 1> text {};
    if (::CM_Get_Device_IDW(instance, text.data(), ULONG(text.size() - 1), 0) != CR_SUCCESS)
        return {};
    return QString::fromWCharArray(text.data());
}

// The interface of a composite device has its serial number on the device.
PortIdentity usbIdentity(DEVINST instance)
{
    const QString id = instanceId(instance);
    PortIdentity identity = UsbInstanceId::parse(id);
    DEVINST parent = 0;
    if (identity.vendorId && !UsbInstanceId::hasSerialNumber(id) && ::CM_Get_Parent(&parent, instance, 0) == CR_SUCCESS) {
        const PortIdentity device = UsbInstanceId::parse(instanceId(parent));
        if (device.vendorId == identity.vendorId && device.productId == identity.productId)
            identity.serialNumber = device.serialNumber;
    }
    return identity;
}

QString comNameOf(HDEVINFO set, SP_DEVINFO_DATA *device)
{
    const HKEY key = ::SetupDiOpenDevRegKey(set, device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    const QString name = registryText(key, L"PortName");
    ::RegCloseKey(key);
    return name;
}

bool listed(const QList<SystemPorts::Port> &ports, const QString &name)
{
    for (const SystemPorts::Port &port : ports)
        if (port.name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The devices of the Ports class that Windows gave a COM name (printer
// ports are in it too), with what Windows knows of them.
void addInstalledPorts(QList<SystemPorts::Port> &ports)
{
    const HDEVINFO set = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const QString name = comNameOf(set, &device);
        if (PortNames::comNumber(name) == 0 || listed(ports, name))
            continue;
        SystemPorts::Port port {name, name, usbIdentity(device.DevInst)};
        QString description = deviceText(set, &device, SPDRP_FRIENDLYNAME);
        if (description.isEmpty())
            description = deviceText(set, &device, SPDRP_DEVICEDESC);
        port.identity.description = description.isEmpty() ? QString() : description;
        ports << port;
    }
    ::SetupDiDestroyDeviceInfoList(set);
}

// Every COM port the system has now, also those no setup information
// describes: the serial drivers enter them here.
void addMappedPorts(QList<SystemPorts::Port> &ports)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        std::array<wchar_t, 256> value {};
        std::array<wchar_t, 64> data {};
        DWORD valueSize = DWORD(value.size());
        DWORD dataSize = DWORD(sizeof(data) - sizeof(wchar_t));
        DWORD type = 0;
        const LONG result = ::RegEnumValueW(key, i, value.data(), &valueSize, nullptr, &type,
                                            reinterpret_cast<BYTE *>(data.data()), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        const QString name = QString::fromWCharArray(data.data());
        if (result != ERROR_SUCCESS || type != REG_SZ || PortNames::comNumber(name) == 0 || listed(ports, name))
            continue;
        ports << SystemPorts::Port {name, name, {}};
    }
    ::RegCloseKey(key);
}

// The COM names among the system's device names: some virtual and vendor
// drivers make theirs without entering them above. A query of names, never
// an open: opening a port would toggle another device's DTR.
void addNamedPorts(QList<SystemPorts::Port> &ports)
{
    std::vector<wchar_t> names(16384);
    while (::QueryDosDeviceW(nullptr, names.data(), DWORD(names.size())) == 0) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() > (1u << 22))
            return;
        names.resize(names.size() * 4);
    }
    for (const wchar_t *name = names.data(); *name; name += std::wcslen(name) + 1) {
        const QString text = QString::fromWCharArray(name);
        if (PortNames::comNumber(text) > 0 && !listed(ports, text))
            ports << SystemPorts::Port {text, text, {}};
    }
}

} // namespace

QList<SystemPorts::Port> SystemPorts::list()
{
    QList<Port> ports;
    addInstalledPorts(ports);
    addMappedPorts(ports);
    addNamedPorts(ports);
    return ports;
}

QString SystemPorts::canonical(const QString &path)
{
    return path;
}
