// The least a program does to show what Daltrix.exe shows first: a dialog from its resources
// whose report list view gets one line in WM_INITDIALOG. The start-up benchmark compares the
// two; the dialog ends on Escape or its close box.
#include "BareDialog.h"

#include <windows.h>
#include <commctrl.h>

namespace {

void AddFirstLine(HWND list) {
    wchar_t heading[] = L"Info";
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = 2000;
    column.pszText = heading;
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

    wchar_t text[] = L"001 Klicka Starta f\u00f6r att p\u00e5b\u00f6rja konverteringen";
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.pszText = text;
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

INT_PTR CALLBACK BareDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG:
            AddFirstLine(GetDlgItem(dialog, IDC_BARE_LIST));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&classes);
    return static_cast<int>(
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_BARE_DIALOG), nullptr, &BareDialogProcedure, 0));
}
