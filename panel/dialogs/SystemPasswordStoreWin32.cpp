// The password in HKEY_LOCAL_MACHINE\SOFTWARE\Vemra, value "param", REG_SZ,
// plain text, where the earlier panel keeps it. That panel is a 32-bit
// program, so on 64-bit Windows its key lives in the registry's 32-bit view
// (SOFTWARE\WOW6432Node\Vemra): this panel uses that view too, whatever it
// was built for, or a panel locked by one would start unlocked in the other.
// The registry API is used directly: QSettings would read a stored
// "@Invalid()" as nothing and store "@abc" as "@@abc".

#include "SystemPasswordStore.h"

#include <QByteArray>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace system_password_store {

namespace {

constexpr const char* kKey = "SOFTWARE\\Vemra";
constexpr const char* kValue = "param";
// What the earlier panel reads into; a longer value is no password to it.
constexpr DWORD kBufferSize = 260;

}  // namespace

bool Exists() { return true; }

QString Read()
{
    HKEY key = nullptr;
    // Opened for reading only: a panel started with no password leaves no key.
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) {
        return QString();
    }
    char data[kBufferSize] = {};
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    const LONG result = ::RegQueryValueExA(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) {
        return QString();
    }
    // The text up to its terminating zero; a value stored without one ends
    // at its size.
    return QString::fromLocal8Bit(data, static_cast<qsizetype>(qstrnlen(data, size)));
}

bool Write(const QString& password)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const QByteArray text = password.toLocal8Bit();
    // The text and its terminating zero, as the earlier panel stores it.
    const LONG result = ::RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.constData()),
                                         static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

}  // namespace system_password_store
