// The Windows headers, as the win32 back ends include them.
//
// platform/Window.h gives the logic its own NMHDR and LRESULT, so that the logic never needs
// <windows.h>. The Windows headers declare both names too (and on x86 LRESULT is `long`, not
// the `int` of std::intptr_t). While they are read, their two names are spelt Win32NMHDR and
// Win32LRESULT; afterwards NMHDR and LRESULT mean the framework's, which have the same layout
// and width, so a back end can use both side by side.
#pragma once

#define NMHDR Win32NMHDR
#define LRESULT Win32LRESULT
#include <windows.h>
#include <commctrl.h>
#undef NMHDR
#undef LRESULT

// Names that <windows.h> turns into macros and that the framework uses for its own members.
#undef AppendMenu
#undef CopyFile
#undef ReplaceFile

#include "platform/CString.h"

#include <cwchar>
#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

namespace win32 {

// A CString as the zero-terminated wide text Windows reads; the storage is the CString's.
inline const wchar_t* Wide(const CString& text) {
    return reinterpret_cast<const wchar_t*>(text.GetString());
}

// Wide text Windows wrote, as a CString of exactly `length` units.
inline CString FromWide(const wchar_t* text, size_t length) {
    return CString(std::u16string(text, text + length));
}

inline CString FromWide(const wchar_t* text) {
    return text ? FromWide(text, wcslen(text)) : CString();
}

}  // namespace win32
