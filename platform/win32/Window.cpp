// The window framework on Win32: dialogs from the program's own resources, run by the system's
// dialog manager, with their messages handed to the message maps; list views, menus and
// painting over the real controls.
#include "platform/win32/Win32Window.h"

#include <algorithm>
#include <cstring>

namespace {

// The dialogs running on this thread, innermost last: a dialog built without a parent belongs
// to the one it was opened from, as the About box belongs to the main dialog.
thread_local std::vector<CDialogEx*> t_runningDialogs;

HINSTANCE ResourceModule() {
    return GetModuleHandleW(nullptr);
}

HWND WindowOf(const CWnd* window) {
    return window && window->m_impl ? window->m_impl->hwnd : nullptr;
}

// A dialog the code has not moved during its start is centred on its owner, or on the work
// area of its monitor, and kept on that work area so its caption stays reachable.
void CenterOnOwner(HWND dialog) {
    HWND owner = GetWindow(dialog, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT area = monitor.rcWork;
    RECT reference = area;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner))
        GetWindowRect(owner, &reference);

    RECT window{};
    GetWindowRect(dialog, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int x = (reference.left + reference.right - width) / 2;
    int y = (reference.top + reference.bottom - height) / 2;
    x = std::max(std::min(x, static_cast<int>(area.right) - width), static_cast<int>(area.left));
    y = std::max(std::min(y, static_cast<int>(area.bottom) - height), static_cast<int>(area.top));
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR StartDialog(HWND hwnd, CDialogEx& dialog) {
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(&dialog));
    dialog.m_impl->hwnd = hwnd;
    t_runningDialogs.push_back(&dialog);

    RECT before{};
    GetWindowRect(hwnd, &before);
    bool focusFirstTabStop = true;
    dialog.RunGuarded([&] { focusFirstTabStop = dialog.OnInitDialog(); });
    RECT after{};
    GetWindowRect(hwnd, &after);
    if (EqualRect(&before, &after))
        CenterOnOwner(hwnd);
    return focusFirstTabStop ? TRUE : FALSE;
}

// Once the window is gone nothing may reach it through the objects that stood for it.
void ReleaseWindow(CDialogEx& dialog) {
    CDialogEx::DialogImpl& state = *dialog.m_dialogImpl;
    for (CListCtrl* control : state.boundControls)
        control->m_impl->hwnd = nullptr;
    state.boundControls.clear();
    state.items.clear();
    state.systemMenu.m_impl->menu = nullptr;
    if (HWND hwnd = dialog.m_impl->hwnd)
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    dialog.m_impl->hwnd = nullptr;
    std::erase(t_runningDialogs, &dialog);
}

INT_PTR OnCommand(CDialogEx& dialog, HWND hwnd, WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    MessageArgs args;
    args.id = static_cast<unsigned>(id);
    args.lParam = lParam;
    if (dialog.Dispatch(wnd::kWmCommand, id, code, args))
        return TRUE;
    // The framework's own OK and Cancel: an unmapped button 1 or 2 (or Enter, Escape and the
    // close box, which the dialog manager turns into them) ends the dialog with its id.
    constexpr int kFromAccelerator = 1;
    if ((id == IDOK || id == IDCANCEL) && (code == BN_CLICKED || code == kFromAccelerator)) {
        EndDialog(hwnd, id);
        return TRUE;
    }
    return FALSE;
}

INT_PTR OnNotify(CDialogEx& dialog, HWND hwnd, LPARAM lParam) {
    const auto* header = reinterpret_cast<const Win32NMHDR*>(lParam);
    if (!header)
        return FALSE;
    NMHDR copy;
    copy.hwndFrom = header->hwndFrom;
    copy.idFrom = header->idFrom;
    copy.code = static_cast<int>(header->code);

    LRESULT result = 0;
    MessageArgs args;
    args.id = static_cast<unsigned>(header->idFrom);
    args.lParam = lParam;
    args.header = &copy;
    args.result = &result;
    if (copy.code == wnd::kLvnKeydown) {
        args.key = reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey;
        args.ctrl = GetKeyState(VK_CONTROL) < 0;
    }
    if (!dialog.Dispatch(wnd::kWmNotify, static_cast<int>(header->idFrom), copy.code, args))
        return FALSE;
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

// Where a menu asked for from the keyboard (Shift+F10, the menu key) opens: under the focused
// row of a list while that row is in view, else at the control's upper left corner.
POINT KeyboardMenuPoint(HWND control) {
    POINT at{0, 0};
    const auto focused =
        static_cast<int>(SendMessageW(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    RECT row{};
    row.left = LVIR_LABEL;
    RECT client{};
    ::GetClientRect(control, &client);
    RECT visible{};
    if (focused >= 0 &&
        SendMessageW(control, LVM_GETITEMRECT, static_cast<WPARAM>(focused), reinterpret_cast<LPARAM>(&row)) &&
        IntersectRect(&visible, &row, &client))
        at = POINT{std::max(row.left, client.left), row.bottom};
    ClientToScreen(control, &at);
    return at;
}

INT_PTR OnContextMenu(CDialogEx& dialog, WPARAM wParam, LPARAM lParam) {
    const auto control = reinterpret_cast<HWND>(wParam);
    // Screen coordinates, signed: a second monitor may lie left of or above the first.
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (lParam == -1)
        at = KeyboardMenuPoint(control);
    MessageArgs args;
    args.lParam = lParam;
    args.point = CPoint{at.x, at.y};
    args.fromKeyboard = lParam == -1;
    return dialog.Dispatch(wnd::kWmContextMenu, GetDlgCtrlID(control), 0, args) ? TRUE : FALSE;
}

INT_PTR Route(CDialogEx& dialog, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            return OnCommand(dialog, hwnd, wParam, lParam);
        case WM_NOTIFY:
            return OnNotify(dialog, hwnd, lParam);
        case WM_CONTEXTMENU:
            return OnContextMenu(dialog, wParam, lParam);
        case WM_SYSCOMMAND: {
            MessageArgs args;
            args.id = static_cast<unsigned>(wParam);
            args.lParam = lParam;
            return dialog.Dispatch(wnd::kWmSysCommand, 0, 0, args) ? TRUE : FALSE;
        }
        case WM_PAINT:
            return dialog.Dispatch(wnd::kWmPaint, 0, 0, MessageArgs{}) ? TRUE : FALSE;
        case WM_QUERYDRAGICON: {
            // One of the few messages whose result a dialog procedure returns itself.
            LRESULT result = 0;
            MessageArgs args;
            args.result = &result;
            return dialog.Dispatch(wnd::kWmQueryDragIcon, 0, 0, args) ? static_cast<INT_PTR>(result) : FALSE;
        }
        default:
            if (message >= WM_APP && message <= 0xBFFF)
                return dialog.Dispatch(message, 0, 0, MessageArgs{}) ? TRUE : FALSE;
            return FALSE;
    }
}

INT_PTR CALLBACK DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    // Nothing may unwind through the system's code that called us.
    try {
        if (message == WM_INITDIALOG)
            return StartDialog(hwnd, *reinterpret_cast<CDialogEx*>(lParam));
        auto* dialog = reinterpret_cast<CDialogEx*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        if (!dialog)
            return FALSE;  // the messages that come before WM_INITDIALOG
        if (message == WM_NCDESTROY) {
            ReleaseWindow(*dialog);
            return FALSE;
        }
        return Route(*dialog, hwnd, message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

LRESULT SendToList(HWND list, UINT message, WPARAM wParam, const void* lParam) {
    return SendMessageW(list, message, wParam, reinterpret_cast<LPARAM>(lParam));
}

struct GlobalFreer {
    void operator()(void* memory) const { GlobalFree(memory); }
};

// Another program (a clipboard manager, a remote desktop client) may hold the clipboard for a
// moment; a few short tries ride that out.
bool OpenClipboardPatiently(HWND owner) {
    constexpr int kTries = 10;
    for (int attempt = 1;; ++attempt) {
        if (OpenClipboard(owner))
            return true;
        if (attempt == kTries)
            return false;
        Sleep(20);
    }
}

class ClipboardSession {
public:
    explicit ClipboardSession(HWND owner) : m_open(OpenClipboardPatiently(owner)) {}
    ~ClipboardSession() {
        if (m_open)
            CloseClipboard();
    }
    ClipboardSession(const ClipboardSession&) = delete;
    ClipboardSession& operator=(const ClipboardSession&) = delete;
    bool IsOpen() const { return m_open; }

private:
    bool m_open;
};

}  // namespace

// --- windows and menus -------------------------------------------------------------------

CWnd::CWnd() : m_impl(std::make_unique<Impl>()) {
}
CWnd::~CWnd() = default;

bool CWnd::EnableWindow(bool enable) {
    // As the system answers: true when the window was disabled before.
    return ::EnableWindow(m_impl->hwnd, enable ? TRUE : FALSE) != FALSE;
}

bool CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(m_impl->hwnd) != FALSE;
}

CMenu::CMenu() : m_impl(std::make_unique<Impl>()) {
}
CMenu::~CMenu() = default;

bool CMenu::CreatePopupMenu() {
    if (m_impl->menu)
        return false;
    m_impl->menu = ::CreatePopupMenu();
    m_impl->owned = m_impl->menu != nullptr;
    return m_impl->owned;
}

unsigned CMenu::TrackPopupMenu(CPoint at, CDialogEx& owner) {
    if (!m_impl->menu)
        return 0;
    // The choice comes back here rather than as a command message to the owner.
    constexpr UINT kFlags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY;
    return static_cast<unsigned>(::TrackPopupMenu(m_impl->menu, kFlags, at.x, at.y, 0, owner.m_impl->hwnd, nullptr));
}

bool CMenu::AppendMenu(unsigned flags, unsigned id, const CString& text) {
    if (!m_impl->menu)
        return false;
    const wchar_t* item = (flags & MF_SEPARATOR) ? nullptr : win32::Wide(text);
    return AppendMenuW(m_impl->menu, flags, id, item) != FALSE;
}

// --- dialogs -------------------------------------------------------------------------------

CDialogEx::CDialogEx(unsigned templateId, CWnd* parent)
    : m_dialogImpl(std::make_unique<DialogImpl>()), m_templateId(templateId) {
    m_dialogImpl->parent = parent;
}

// DoModal has released the window by now; the derived class's controls are already gone, so
// only the list of running dialogs may still name this one.
CDialogEx::~CDialogEx() {
    std::erase(t_runningDialogs, this);
}

int CDialogEx::DoModal() {
    if (m_impl->hwnd)
        return -1;  // already running
    HWND owner = WindowOf(m_dialogImpl->parent);
    if (!owner && !t_runningDialogs.empty())
        owner = WindowOf(t_runningDialogs.back());
    if (owner)
        owner = GetAncestor(owner, GA_ROOT);
    const INT_PTR result = DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(m_templateId), owner, &DialogProcedure,
                                           reinterpret_cast<LPARAM>(this));
    ReleaseWindow(*this);
    return static_cast<int>(result);
}

void CDialogEx::EndDialog(int result) {
    if (m_impl->hwnd)
        ::EndDialog(m_impl->hwnd, result);
}

void CDialogEx::PostToSelf(unsigned message) {
    if (m_impl->hwnd)
        PostMessageW(m_impl->hwnd, message, 0, 0);
}

CWnd* CDialogEx::GetDlgItem(int id) {
    HWND control = ::GetDlgItem(m_impl->hwnd, id);
    if (!control)
        return nullptr;
    std::unique_ptr<CWnd>& item = m_dialogImpl->items[id];
    if (!item)
        item = std::make_unique<CWnd>();
    item->m_impl->hwnd = control;
    return item.get();
}

CMenu* CDialogEx::GetSystemMenu(bool revert) {
    HMENU menu = ::GetSystemMenu(m_impl->hwnd, revert ? TRUE : FALSE);
    if (!menu)
        return nullptr;
    m_dialogImpl->systemMenu.m_impl->menu = menu;
    return &m_dialogImpl->systemMenu;
}

void CDialogEx::SetIcon(IconHandle icon, bool big) {
    SendMessageW(m_impl->hwnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

bool CDialogEx::IsIconic() const {
    return ::IsIconic(m_impl->hwnd) != FALSE;
}

CRect CDialogEx::GetClientRect() const {
    RECT client{};
    ::GetClientRect(m_impl->hwnd, &client);
    return CRect{client.left, client.top, client.right, client.bottom};
}

void DDX_Control(CDataExchange* dx, int id, CListCtrl& control) {
    CDialogEx& dialog = *dx->m_dialog;
    control.m_impl->hwnd = ::GetDlgItem(dialog.m_impl->hwnd, id);
    std::vector<CListCtrl*>& bound = dialog.m_dialogImpl->boundControls;
    if (std::find(bound.begin(), bound.end(), &control) == bound.end())
        bound.push_back(&control);
}

void ShowStopMessage(CDialogEx& owner, const CString& text) {
    MessageBoxW(owner.m_impl->hwnd, win32::Wide(text), L"Daltrix", MB_ICONSTOP | MB_OK);
}

bool ShowYesNoQuestion(CDialogEx& owner, const CString& text) {
    const HWND hwnd = owner.m_impl->hwnd;
    std::wstring caption(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    caption.resize(static_cast<size_t>(GetWindowTextW(hwnd, caption.data(), static_cast<int>(caption.size()))));
    return MessageBoxW(hwnd, win32::Wide(text), caption.c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

// --- painting ------------------------------------------------------------------------------

CPaintDC::CPaintDC(CDialogEx* dialog) : m_impl(std::make_unique<Impl>()) {
    m_impl->hwnd = dialog->m_impl->hwnd;
    if (m_impl->hwnd)
        m_impl->dc = BeginPaint(m_impl->hwnd, &m_impl->paint);
}

CPaintDC::~CPaintDC() {
    if (m_impl->dc)
        EndPaint(m_impl->hwnd, &m_impl->paint);
}

void CPaintDC::EraseIconBackground() {
    SendMessageW(m_impl->hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(m_impl->dc), 0);
}

void CPaintDC::DrawIcon(int x, int y, IconHandle icon) {
    if (m_impl->dc)
        ::DrawIcon(m_impl->dc, x, y, static_cast<HICON>(icon));
}

int GetIconWidth() {
    return GetSystemMetrics(SM_CXICON);
}

int GetIconHeight() {
    return GetSystemMetrics(SM_CYICON);
}

// --- list views ----------------------------------------------------------------------------

CListCtrl::CListCtrl() : m_impl(std::make_unique<Impl>()) {
}
CListCtrl::~CListCtrl() = default;

int CListCtrl::InsertColumn(int column, const CString& heading, int format, int width) {
    if (!m_impl->hwnd)
        return -1;
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    info.fmt = format;
    info.cx = width;
    info.pszText = const_cast<wchar_t*>(win32::Wide(heading));
    return static_cast<int>(SendToList(m_impl->hwnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), &info));
}

int CListCtrl::InsertItem(int item, const CString& text) {
    if (!m_impl->hwnd)
        return -1;
    LVITEMW row{};
    row.mask = LVIF_TEXT;
    row.iItem = item;
    row.pszText = const_cast<wchar_t*>(win32::Wide(text));
    return static_cast<int>(SendToList(m_impl->hwnd, LVM_INSERTITEMW, 0, &row));
}

bool CListCtrl::SetItemText(int item, int subItem, const CString& text) {
    if (!m_impl->hwnd)
        return false;
    LVITEMW cell{};
    cell.iSubItem = subItem;
    cell.pszText = const_cast<wchar_t*>(win32::Wide(text));
    return SendToList(m_impl->hwnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), &cell) != FALSE;
}

CString CListCtrl::GetItemText(int item, int subItem) const {
    // The control may leave the buffer as it was for a cell it does not have: ask only for
    // cells that exist.
    if (!m_impl->hwnd || item < 0 || subItem < 0 || item >= GetItemCount() || subItem >= GetColumnCount())
        return CString();
    constexpr size_t kLongestText = size_t{1} << 20;
    std::wstring buffer(256, L'\0');
    for (;;) {
        LVITEMW cell{};
        cell.iSubItem = subItem;
        cell.pszText = buffer.data();
        cell.cchTextMax = static_cast<int>(buffer.size());
        const auto length =
            static_cast<size_t>(SendToList(m_impl->hwnd, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), &cell));
        // A text that filled the buffer may have been cut: try again with more room.
        if (length + 1 < buffer.size() || buffer.size() >= kLongestText)
            return win32::FromWide(buffer.c_str(), std::min(length, wcslen(buffer.c_str())));
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

int CListCtrl::GetItemCount() const {
    return m_impl->hwnd ? static_cast<int>(SendMessageW(m_impl->hwnd, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

bool CListCtrl::EnsureVisible(int item, bool partialOk) {
    if (!m_impl->hwnd)
        return false;
    // While painting is held the list scrolls when it paints again: scrolling a held list view
    // row by row costs far more than once at the end.
    const bool held = m_impl->pacing.IsHeld();
    const bool visible = held ? item >= 0 && item < GetItemCount()
                              : SendMessageW(m_impl->hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item),
                                             partialOk ? TRUE : FALSE) != FALSE;
    if (visible) {
        m_impl->ensured = item;
        m_impl->ensuredPartly = partialOk;
    }
    return visible;
}

int CListCtrl::GetSelectionMark() const {
    return m_impl->hwnd ? static_cast<int>(SendMessageW(m_impl->hwnd, LVM_GETSELECTIONMARK, 0, 0)) : -1;
}

int CListCtrl::RowAt(CPoint screenPoint) const {
    if (!m_impl->hwnd)
        return -1;
    LVHITTESTINFO hit{};
    hit.pt = POINT{screenPoint.x, screenPoint.y};
    ScreenToClient(m_impl->hwnd, &hit.pt);
    SendToList(m_impl->hwnd, LVM_SUBITEMHITTEST, 0, &hit);
    return (hit.flags & LVHT_ONITEM) ? hit.iItem : -1;
}

bool CListCtrl::DeleteAllItems() {
    return m_impl->hwnd && SendMessageW(m_impl->hwnd, LVM_DELETEALLITEMS, 0, 0) != FALSE;
}

void CListCtrl::Impl::SetPainting(bool on) const {
    if (!hwnd)
        return;
    SendMessageW(hwnd, WM_SETREDRAW, on ? TRUE : FALSE, 0);
    if (on && ensured >= 0)
        SendMessageW(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(ensured), ensuredPartly ? TRUE : FALSE);
}

void CListCtrl::Impl::Paint() const {
    if (hwnd)
        ::UpdateWindow(hwnd);
}

void CListCtrl::PaintNewRows() {
    m_impl->pacing.RowAdded();
}

void CListCtrl::SelectAllItems() {
    if (!m_impl->hwnd)
        return;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    // Item -1 stands for every item.
    SendToList(m_impl->hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), &state);
}

std::vector<int> CListCtrl::GetSelectedItems() const {
    std::vector<int> rows;
    if (!m_impl->hwnd)
        return rows;
    int row = -1;
    while ((row = static_cast<int>(
                SendMessageW(m_impl->hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) != -1)
        rows.push_back(row);
    return rows;
}

int CListCtrl::GetColumnCount() const {
    if (!m_impl->hwnd)
        return 0;
    auto header = reinterpret_cast<HWND>(SendMessageW(m_impl->hwnd, LVM_GETHEADER, 0, 0));
    const auto count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    return std::max(count, 0);
}

CString CListCtrl::GetColumnHeading(int column) const {
    if (!m_impl->hwnd)
        return CString();
    wchar_t text[512] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = text;
    info.cchTextMax = static_cast<int>(std::size(text));
    if (!SendToList(m_impl->hwnd, LVM_GETCOLUMNW, static_cast<WPARAM>(column), &info))
        return CString();
    return win32::FromWide(text, wcsnlen(text, std::size(text)));
}

int CListCtrl::GetColumnWidth(int column) const {
    return m_impl->hwnd
               ? static_cast<int>(SendMessageW(m_impl->hwnd, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0))
               : 0;
}

// --- process-wide services -----------------------------------------------------------------

namespace wnd {

void* PromptOwner() {
    if (CWinApp* app = AfxGetApp(); app && WindowOf(app->m_pMainWnd))
        return WindowOf(app->m_pMainWnd);
    return t_runningDialogs.empty() ? nullptr : WindowOf(t_runningDialogs.front());
}

void InitCommonControls() {
    INITCOMMONCONTROLSEX classes{};
    static_assert(sizeof classes == 8, "the structure of the Windows 95 common controls");
    classes.dwSize = sizeof classes;
    classes.dwICC = 0xFF;  // ICC_WIN95_CLASSES: list view, tree view, bars, tab, up-down, progress, hot key, animate
    InitCommonControlsEx(&classes);
}

IconHandle LoadAppIcon(int groupId) {
    return LoadIconW(ResourceModule(), MAKEINTRESOURCEW(groupId));
}

CString LoadResourceString(unsigned id) {
    // With no buffer the system hands out the resource's own text, which need not end in a zero.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(ResourceModule(), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text ? win32::FromWide(text, static_cast<size_t>(length)) : CString();
}

void ShowInformation(const CString& caption, const CString& text) {
    MessageBoxW(nullptr, win32::Wide(text), win32::Wide(caption), MB_ICONINFORMATION | MB_OK);
}

void SetClipboardText(const CString& text) {
    const size_t bytes = (static_cast<size_t>(text.GetLength()) + 1) * sizeof(wchar_t);
    std::unique_ptr<void, GlobalFreer> memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory)
        return;
    void* target = GlobalLock(memory.get());
    if (!target)
        return;
    std::memcpy(target, text.GetString(), bytes);
    GlobalUnlock(memory.get());

    // The clipboard needs an owner window: without one, EmptyClipboard leaves it ownerless and
    // SetClipboardData fails.
    HWND owner = t_runningDialogs.empty() ? static_cast<HWND>(PromptOwner()) : WindowOf(t_runningDialogs.back());
    const ClipboardSession clipboard(owner);
    if (!clipboard.IsOpen() || !EmptyClipboard())
        return;
    if (SetClipboardData(CF_UNICODETEXT, memory.get()))
        memory.release();  // the clipboard owns it now
}

}  // namespace wnd
