// ODBC drivers installed for a test in one registry view, as a driver's setup program installs
// them, and removed again; and what a failed connect to one should say.
#pragma once

#include "platform/win32/Win32Api.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <type_traits>

namespace installed_driver {

constexpr bool k64BitBuild = sizeof(void*) == 8;

// A 64-bit program, or a 32-bit one on a 64-bit Windows, has a 32-bit and a 64-bit view of
// HKLM\SOFTWARE; a 32-bit Windows (and a win32 Wine prefix) has one.
inline bool HasTwoRegistryViews() {
    BOOL wow64 = FALSE;
    return k64BitBuild || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

constexpr REGSAM kThisView = k64BitBuild ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = k64BitBuild ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// How a failed connect to a driver only the other view has ends: with the build to take, where
// there is another view at all.
inline std::u16string ExpectedHint() {
    if (!HasTwoRegistryViews())
        return u"";
    return k64BitBuild ? u" (drivrutinen finns bara för 32-bitarsprogram: använd Daltrix x86)"
                       : u" (drivrutinen finns bara för 64-bitarsprogram: använd Daltrix x64)";
}

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

inline const std::wstring kDriversKey = L"SOFTWARE\\ODBC\\ODBCINST.INI";

inline Key CreateKey(const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE | view, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return Key(key);
}

inline void SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// Named in the view's "ODBC Drivers" list and with a key of its own, or with only one of the
// two; both go when the object does.
class InstalledDriver {
public:
    enum Entries { ListAndKey, ListOnly, KeyOnly };
    InstalledDriver(const std::wstring& name, REGSAM view, Entries entries = ListAndKey) : m_name(name), m_view(view) {
        if (entries != KeyOnly) {
            const Key list = CreateKey(kDriversKey + L"\\ODBC Drivers", view);
            EXPECT_TRUE(list) << "cannot write the driver list";
            if (list)
                SetText(list.get(), name.c_str(), L"Installed");
        }
        if (entries != ListOnly) {
            const Key own = CreateKey(kDriversKey + L"\\" + name, view);
            EXPECT_TRUE(own) << "cannot write the driver's key";
            if (own)
                SetText(own.get(), L"Driver", L"C:\\Windows\\System32\\daltrixtest.dll");
        }
    }
    ~InstalledDriver() {
        if (const Key list = CreateKey(kDriversKey + L"\\ODBC Drivers", m_view))
            RegDeleteValueW(list.get(), m_name.c_str());
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (kDriversKey + L"\\" + m_name).c_str(), m_view, 0);
    }
    InstalledDriver(const InstalledDriver&) = delete;
    InstalledDriver& operator=(const InstalledDriver&) = delete;

private:
    std::wstring m_name;
    REGSAM m_view;
};

// A name no real driver has, new for every run so that an earlier run's leftovers cannot count.
inline std::wstring UniqueDriverName() {
    std::random_device random;
    return L"Daltrix Testdrivrutin " + std::to_wstring(random());
}

}  // namespace installed_driver
