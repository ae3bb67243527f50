#include "serial/SerialPortList.h"

#include <QString>
#include <iterator>
#include <windows.h>

// The ports whose drivers Windows lists under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, each value
// a COM name ("COM3").
std::vector<TFoundPort> PlatformSerialPorts() {
    std::vector<TFoundPort> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        wchar_t comName[64];
        DWORD nameLength = DWORD(std::size(name));
        DWORD dataSize = sizeof comName - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(comName), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        comName[dataSize / sizeof(wchar_t)] = L'\0';
        TFoundPort port;
        port.kernelName = QString::fromWCharArray(comName).toStdString();
        port.device = "\\\\.\\" + port.kernelName;
        ports.push_back(std::move(port));
    }
    RegCloseKey(key);
    return ports;
}
