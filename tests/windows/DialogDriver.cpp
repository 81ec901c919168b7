#include "DialogDriver.h"

#include "app/DaltrixDlg.h"

#include <cstdio>
#include <cstdlib>

namespace dialog_driver {

std::u16string Utf16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, static_cast<int>(std::size(text)));
    return text;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, static_cast<int>(std::size(name)));
    return name;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

namespace {

// A lambda cannot stand for the callback itself: on x86 the callback must be __stdcall.
BOOL CALLBACK VisitWindow(HWND hwnd, LPARAM visitor) {
    return (*reinterpret_cast<WindowVisitor*>(visitor))(hwnd) ? TRUE : FALSE;
}

}  // namespace

void ForEachThreadWindow(DWORD thread, WindowVisitor visit) {
    EnumThreadWindows(thread, &VisitWindow, reinterpret_cast<LPARAM>(&visit));
}

void ForEachChild(HWND parent, WindowVisitor visit) {
    EnumChildWindows(parent, &VisitWindow, reinterpret_cast<LPARAM>(&visit));
}

HWND FindDialog(DWORD thread, const std::wstring& caption) {
    HWND found = nullptr;
    ForEachThreadWindow(thread, [&](HWND hwnd) {
        if (ClassOf(hwnd) == L"#32770" && IsWindowVisible(hwnd) && WindowText(hwnd) == caption)
            found = hwnd;
        return found == nullptr;
    });
    return found;
}

std::vector<std::wstring> ChildTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    ForEachChild(dialog, [&](HWND child) {
        texts.push_back(WindowText(child));
        return true;
    });
    return texts;
}

void Settle(HWND dialog) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    PostMessageW(dialog, WM_NULL, 0, 0);
    SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

int ItemCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

std::u16string ItemText(HWND list, int item, int subItem) {
    wchar_t text[1024] = {};
    LVITEMW cell{};
    cell.iSubItem = subItem;
    cell.pszText = text;
    cell.cchTextMax = static_cast<int>(std::size(text));
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&cell));
    return Utf16(text);
}

std::vector<std::u16string> ColumnTexts(HWND list, int subItem) {
    std::vector<std::u16string> texts;
    const int count = ItemCount(list);
    for (int row = 0; row < count; ++row)
        texts.push_back(ItemText(list, row, subItem));
    return texts;
}

std::vector<std::u16string> Headings(HWND list) {
    std::vector<std::u16string> headings;
    for (int column = 0;; ++column) {
        wchar_t text[256] = {};
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT;
        info.pszText = text;
        info.cchTextMax = static_cast<int>(std::size(text));
        if (!SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)))
            return headings;
        headings.push_back(Utf16(text));
    }
}

int ColumnWidth(HWND list, int column) {
    return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void DoubleClickRow(HWND list, int row) {
    RECT label{};
    label.left = LVIR_LABEL;
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&label));
    const LPARAM at = MAKELPARAM((label.left + label.right) / 2, (label.top + label.bottom) / 2);
    // The order a real double-click arrives in: the second press comes as the double-click.
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
}

HWND FindPopupMenu(DWORD thread) {
    HWND found = nullptr;
    ForEachThreadWindow(thread, [&](HWND hwnd) {
        if (ClassOf(hwnd) == L"#32768" && IsWindowVisible(hwnd))
            found = hwnd;
        return found == nullptr;
    });
    return found;
}

std::vector<MenuItem> ItemsOf(HMENU menu) {
    std::vector<MenuItem> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, static_cast<int>(std::size(text)), MF_BYPOSITION);
        items.push_back({text, (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED) != 0});
    }
    return items;
}

namespace {

// The item the open menu has lit, or -1.
int LitItem(HMENU menu) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE)
            return i;
    return -1;
}

}  // namespace

bool ChooseMenuItem(HWND menu, int item) {
    const auto handle = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
    for (int press = 0; press <= GetMenuItemCount(handle) && LitItem(handle) != item; ++press) {
        const int before = LitItem(handle);
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        WaitUntil([&] { return LitItem(handle) != before; });
    }
    if (LitItem(handle) != item)
        return false;
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    return true;
}

SharedKeyboard::SharedKeyboard(DWORD other) : m_other(other) {
    m_attached = AttachThreadInput(GetCurrentThreadId(), other, TRUE) != FALSE;
}

SharedKeyboard::~SharedKeyboard() {
    SetControl(false);
    SetShift(false);
    if (m_attached)
        AttachThreadInput(GetCurrentThreadId(), m_other, FALSE);
}

void SharedKeyboard::Hold(int key, int leftKey, bool down) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[key] = keys[leftKey] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

ModalRun::ModalRun(const std::wstring& caption, Body body) {
    m_thread = std::thread([this, body] {
        m_threadId = GetCurrentThreadId();
        m_result = body();
        m_finished = true;
    });
    WaitUntil([this] { return m_threadId != 0; });
    WaitUntil([&] { return (m_hwnd = FindDialog(m_threadId, caption)) != nullptr; });
}

ModalRun::~ModalRun() {
    const bool ended = WaitUntil([this] {
        if (!m_finished)
            ForEachThreadWindow(m_threadId, [](HWND hwnd) {
                PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
                return true;
            });
        return m_finished.load();
    });
    if (!ended) {
        std::fprintf(stderr, "a dialog would not end\n");
        std::fflush(stderr);
        std::_Exit(3);
    }
    if (m_thread.joinable())
        m_thread.join();
}

int ModalRun::Result() {
    if (!WaitUntil([this] { return m_finished.load(); }))
        return -99;
    m_thread.join();
    return m_result;
}

int ShowMainDialog(const std::u16string& installDir) {
    wnd::InitCommonControls();
    CDaltrixDlg dialog;
    dialog.m_installDir = CString(installDir);
    return dialog.DoModal();
}

}  // namespace dialog_driver
