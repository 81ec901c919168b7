// The real main dialog from the real resources, on the win32 window back end: it runs modally
// on a thread of its own while the test reads its windows and sends it messages, as the
// operator's keyboard and mouse would.
#include "DialogDriver.h"

#include "app/DaltrixDlg.h"
#include "res/resource.h"

#include <shlwapi.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

using namespace dialog_driver;

namespace {

RECT RectInClient(HWND dialog, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
    char text[64];
    std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(run.Window(), nullptr) << "the main dialog did not show"; }

    HWND Log() const { return run.Item(IDC_LOG_LIST); }
    HWND Companies() const { return run.Item(IDC_COMPANY_LIST); }

    ModalRun run{kMainCaption};
};

// --- start-up ------------------------------------------------------------------------------

TEST_F(MainDialog, StartsWithOneNumberedLineAndAnEmptyCompanyList) {
    ASSERT_EQ(ItemCount(Log()), 1);
    EXPECT_EQ(ItemText(Log(), 0), u"001 Klicka Starta f\u00f6r att p\u00e5b\u00f6rja konverteringen");
    EXPECT_EQ(Headings(Log()), std::vector<std::u16string>{u"Info"});
    EXPECT_EQ(ColumnWidth(Log(), 0), 2000);

    EXPECT_EQ(ItemCount(Companies()), 0);
    EXPECT_EQ(Headings(Companies()), (std::vector<std::u16string>{u"Nummer", u"Namn", u"FileDSN"}));
    EXPECT_EQ(ColumnWidth(Companies(), 0), 80);
    EXPECT_EQ(ColumnWidth(Companies(), 1), 800);
    EXPECT_EQ(ColumnWidth(Companies(), 2), 800);
}

TEST_F(MainDialog, CaptionButtonsAndIconsComeFromTheResources) {
    EXPECT_EQ(Utf16(WindowText(run.Window())), Utf16(kMainCaption)) << "the resource script lost its UTF-8";
    EXPECT_EQ(WindowText(run.Item(IDC_START)), L"Starta");
    EXPECT_EQ(WindowText(run.Item(IDC_CANCEL)), L"Avbryt");
    EXPECT_TRUE(IsWindowEnabled(run.Item(IDC_START)));
    EXPECT_NE(GetWindowLongW(run.Window(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);

    const auto big = reinterpret_cast<HICON>(SendMessageW(run.Window(), WM_GETICON, ICON_BIG, 0));
    const auto small = reinterpret_cast<HICON>(SendMessageW(run.Window(), WM_GETICON, ICON_SMALL, 0));
    EXPECT_NE(big, nullptr);
    EXPECT_EQ(small, big) << "both icons are the dialog's m_hIcon";
    // A dialog procedure answers this one with its return value, not through DWLP_MSGRESULT.
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(run.Window(), WM_QUERYDRAGICON, 0, 0)), big);
}

TEST_F(MainDialog, ListsAreReportViewsAndTheLogIsNotSorted) {
    EXPECT_EQ(ClassOf(Log()), std::wstring(WC_LISTVIEWW));
    EXPECT_EQ(ClassOf(Companies()), std::wstring(WC_LISTVIEWW));
    const auto log = static_cast<DWORD>(GetWindowLongW(Log(), GWL_STYLE));
    const auto companies = static_cast<DWORD>(GetWindowLongW(Companies(), GWL_STYLE));
    EXPECT_EQ(log & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
    EXPECT_EQ(log & (LVS_SORTASCENDING | LVS_SORTDESCENDING), 0u) << "line 1000 would sort between 100 and 101";
    // A themed list view turns WS_BORDER into a client edge when it is created.
    const auto logEx = static_cast<DWORD>(GetWindowLongW(Log(), GWL_EXSTYLE));
    EXPECT_TRUE((log & WS_BORDER) != 0 || (logEx & WS_EX_CLIENTEDGE) != 0);
    EXPECT_NE(log & WS_TABSTOP, 0u);
    EXPECT_EQ(companies & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
    EXPECT_NE(companies & LVS_SINGLESEL, 0u);
    EXPECT_EQ(companies & (LVS_SORTASCENDING | LVS_SORTDESCENDING), 0u);
    EXPECT_NE(companies & WS_TABSTOP, 0u);
}

TEST_F(MainDialog, ControlsStandWhereTheTemplatePutsThem) {
    struct Placement {
        int id;
        RECT units;  // x, y, width, height in dialog units, as the template gives them
    };
    const Placement placements[] = {
        {IDC_START, {7, 320, 50, 14}},
        {IDC_CANCEL, {70, 320, 50, 14}},
        {IDC_LOG_LIST, {7, 7, 683, 146}},
        {IDC_COMPANY_LIST, {7, 159, 683, 146}},
    };
    for (const Placement& p : placements) {
        // The dialog manager converts position and size each on its own, so map them apart.
        RECT mapped = p.units;
        MapDialogRect(run.Window(), &mapped);
        const RECT expected{mapped.left, mapped.top, mapped.left + mapped.right, mapped.top + mapped.bottom};
        EXPECT_TRUE(SameRect(RectInClient(run.Window(), run.Item(p.id)), expected))
            << "control " << p.id << " at " << Describe(RectInClient(run.Window(), run.Item(p.id))) << ", expected "
            << Describe(expected);
    }
}

TEST_F(MainDialog, TheDialogHasItsTemplateSizeWhereTheScreenHoldsIt) {
    RECT wanted{0, 0, 697, 341};
    MapDialogRect(run.Window(), &wanted);
    RECT frame = wanted;
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(run.Window(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(run.Window(), GWL_EXSTYLE)));
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    if (frame.right - frame.left > area.right - area.left || frame.bottom - frame.top > area.bottom - area.top)
        GTEST_SKIP() << "the screen is smaller than the dialog (Wine's null driver has 1024x768)";

    RECT client{};
    GetClientRect(run.Window(), &client);
    EXPECT_EQ(client.right, wanted.right);
    EXPECT_EQ(client.bottom, wanted.bottom);
    RECT window{};
    GetWindowRect(run.Window(), &window);
    EXPECT_GE(window.left, area.left);
    EXPECT_LE(window.right, area.right);
    EXPECT_LE(std::abs((window.left + window.right) - (area.left + area.right)), 2) << "centred on the screen";
}

TEST_F(MainDialog, TheSystemMenuEndsWithTheAboutItemAndTheWayBack) {
    HMENU menu = GetSystemMenu(run.Window(), FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 3);

    MENUITEMINFOW separator{};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(count - 3), TRUE, &separator));
    EXPECT_NE(separator.fType & MFT_SEPARATOR, 0u);

    const std::pair<const wchar_t*, UINT> items[] = {
        {L"&About Daltrix...", IDM_ABOUTBOX}, {L"\u00c5terst\u00e4ll tqsys.dsn fr\u00e5n tqsys.bak...", IDM_RESTORE}};
    for (int i = 0; i < 2; ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(count - 2 + i), text, static_cast<int>(std::size(text)), MF_BYPOSITION);
        EXPECT_EQ(std::wstring(text), items[i].first);
        EXPECT_EQ(GetMenuItemID(menu, count - 2 + i), items[i].second);
    }
}

// --- the About box -------------------------------------------------------------------------

TEST_F(MainDialog, TheAboutItemOpensTheAboutBoxModallyAndLeavesTheDialogAsItWas) {
    PostMessageW(run.Window(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (about = FindDialog(run.Thread(), kAboutCaption)) != nullptr; }));

    EXPECT_EQ(GetWindow(about, GW_OWNER), run.Window()) << "the About box belongs to the main dialog";
    EXPECT_FALSE(IsWindowEnabled(run.Window())) << "the About box is modal";
    RECT owner{}, box{};
    GetWindowRect(run.Window(), &owner);
    GetWindowRect(about, &box);
    EXPECT_LE(std::abs((owner.left + owner.right) - (box.left + box.right)), 2) << "centred on the main dialog";
    EXPECT_LE(std::abs((owner.top + owner.bottom) - (box.top + box.bottom)), 2) << "centred on the main dialog";
    const std::vector<std::wstring> texts = ChildTexts(about);
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"Daltrix, Version 1.0"), texts.end());
    // The notice says in Swedish what the tool is for, and fits its line without being cut.
    const std::wstring notice = L"Systemdatabasen till SQL Server";
    HWND noticeLine = nullptr;
    ForEachChild(about, [&](HWND child) {
        if (WindowText(child) == notice)
            noticeLine = child;
        return noticeLine == nullptr;
    });
    ASSERT_NE(noticeLine, nullptr) << "no notice line " << ::testing::PrintToString(Utf16(notice));
    HDC dc = GetDC(noticeLine);
    const auto previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(noticeLine, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, notice.c_str(), static_cast<int>(notice.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(noticeLine, dc);
    RECT line{};
    GetClientRect(noticeLine, &line);
    EXPECT_LE(extent.cx, line.right) << "the notice is wider than its line";
    EXPECT_EQ(WindowText(GetDlgItem(about, IDOK)), L"OK");

    // Its OK button is not in any message map: the framework's OK ends it.
    PostMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); })) << "OK did not close the About box";

    Settle(run.Window());
    EXPECT_TRUE(IsWindowEnabled(run.Window()));
    EXPECT_TRUE(IsWindowVisible(run.Window()));
    EXPECT_FALSE(run.Finished());
    EXPECT_EQ(ItemCount(Log()), 1);
    EXPECT_EQ(Utf16(WindowText(run.Window())), Utf16(kMainCaption));
}

// --- keys, buttons and the frame -----------------------------------------------------------

TEST_F(MainDialog, EnterStartsAndTheDialogStaysOpen) {
    // Through the dialog manager's own keyboard handling, as a key press arrives.
    PostMessageW(run.Item(IDC_START), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Log()) >= 2; })) << "Enter did not reach \"Starta\"";
    Settle(run.Window());
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(run.Finished()) << "Enter closed the dialog";
    EXPECT_TRUE(IsWindowVisible(run.Window()));
    EXPECT_EQ(ItemText(Log(), 0).substr(0, 4), u"001 ");
    EXPECT_EQ(ItemText(Log(), 1).substr(0, 4), u"002 ") << "new lines go below the old ones";
}

TEST_F(MainDialog, ResizingLeavesEveryControlWhereItWas) {
    const int ids[] = {IDC_START, IDC_CANCEL, IDC_LOG_LIST, IDC_COMPANY_LIST};
    std::vector<RECT> before;
    for (int id : ids)
        before.push_back(RectInClient(run.Window(), run.Item(id)));
    RECT frame{};
    GetWindowRect(run.Window(), &frame);

    const int width = frame.right - frame.left - 160;
    const int height = frame.bottom - frame.top - 90;
    SetWindowPos(run.Window(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Settle(run.Window());

    RECT resized{};
    GetWindowRect(run.Window(), &resized);
    ASSERT_EQ(resized.right - resized.left, width) << "the frame is resizable";
    ASSERT_EQ(resized.bottom - resized.top, height);
    for (size_t i = 0; i < std::size(ids); ++i) {
        const RECT after = RectInClient(run.Window(), run.Item(ids[i]));
        EXPECT_TRUE(SameRect(after, before[i]))
            << "control " << ids[i] << " moved from " << Describe(before[i]) << " to " << Describe(after);
    }
}

TEST_F(MainDialog, EscapeEndsTheDialogWithCancel) {
    PostMessageW(run.Item(IDC_START), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(run.Result(), IDCANCEL);
}

TEST_F(MainDialog, AvbrytEndsTheDialogWithCancel) {
    PostMessageW(run.Item(IDC_CANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(run.Result(), IDCANCEL);
}

TEST_F(MainDialog, TheCloseBoxEndsTheDialogWithCancel) {
    // Through the message map's OnSysCommand, which hands SC_CLOSE back to the framework.
    PostMessageW(run.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(run.Result(), IDCANCEL);
}

// --- the log's keys: the key state is shared with the dialog's thread for these ------------

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

TEST_F(MainDialog, CtrlASelectsTheWholeLogAndCtrlCCopiesIt) {
    PostMessageW(run.Item(IDC_START), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(Log()) >= 2; }));
    Settle(run.Window());

    const SharedKeyboard keyboard(run.Thread());
    ASSERT_TRUE(keyboard.Attached());
    SharedKeyboard::SetControl(false);
    PostMessageW(Log(), WM_KEYDOWN, 'A', 0);
    Settle(run.Window());
    EXPECT_EQ(SendMessageW(Log(), LVM_GETSELECTEDCOUNT, 0, 0), 0) << "A without Ctrl selects nothing";

    // The key state set here reaches the dialog's thread with a delay now and then (seen about
    // once in 25 runs under Wine), so a key is pressed again until it has taken effect; a
    // handler that ignores Ctrl never gets there.
    SharedKeyboard::SetControl(true);
    const int count = ItemCount(Log());
    const bool allSelected = WaitUntil([&] {
        PostMessageW(Log(), WM_KEYDOWN, 'A', 0);
        Settle(run.Window());
        return SendMessageW(Log(), LVM_GETSELECTEDCOUNT, 0, 0) == count;
    });
    EXPECT_TRUE(allSelected) << "Ctrl+A did not select all " << count << " lines";

    std::wstring expected;
    for (int row = 0; row < count; ++row) {
        const std::u16string line = ItemText(Log(), row);
        expected += std::wstring(line.begin(), line.end()) + L"\r\n";
    }
    // Wine's desktop process also reads each new clipboard content and holds the clipboard meanwhile.
    std::wstring copied;
    WaitUntil([&] {
        PostMessageW(Log(), WM_KEYDOWN, 'C', 0);
        Settle(run.Window());
        return (copied = ClipboardText()) == expected;
    });
    SharedKeyboard::SetControl(false);
    EXPECT_EQ(copied, expected);
}

// --- the log's right-click menu -----------------------------------------------------------

// Where a right-click on the row happens, on the screen: a little into its text.
POINT RightClickPoint(HWND list, int row) {
    RECT label{};
    label.left = LVIR_LABEL;
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&label));
    POINT at{label.left + 20, (label.top + label.bottom) / 2};
    ClientToScreen(list, &at);
    return at;
}

// A right-click on a row, as the mouse gives it to the list view: the list view selects the row
// unless it is selected already, and asks its dialog for the context menu.
void RightClickRow(HWND list, int row) {
    const POINT screen = RightClickPoint(list, row);
    // A posted message carries the cursor's position as the place it happened: put it there.
    SetCursorPos(screen.x, screen.y);
    POINT at = screen;
    ScreenToClient(list, &at);
    PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

void SelectOnly(HWND list, const std::vector<int>& rows) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED;
    for (int row : rows)
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

TEST_F(MainDialog, TheLogsRightClickMenuCopiesTheSelectedLinesAndMarksThemAll) {
    // Each "Starta" adds a line at least (here the installation folder is missing).
    ASSERT_TRUE(WaitUntil([&] {
        PostMessageW(run.Item(IDC_START), BM_CLICK, 0, 0);
        Settle(run.Window());
        return ItemCount(Log()) >= 3;
    }));
    const int count = ItemCount(Log());

    // Two lines selected, the right-click on one of them: the selection stays.
    SelectOnly(Log(), {1, 2});
    RightClickRow(Log(), 2);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (menu = FindPopupMenu(run.Thread())) != nullptr; })) << "no menu opened";
    const auto items = ItemsOf(reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0)));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text, L"Kopiera");
    EXPECT_FALSE(items[0].greyed);
    EXPECT_EQ(items[1].text, L"Markera allt");
    EXPECT_FALSE(items[1].greyed);
    RECT shown{};
    GetWindowRect(menu, &shown);
    const POINT clicked = RightClickPoint(Log(), 2);
    EXPECT_TRUE(std::abs(shown.left - clicked.x) <= 2 && std::abs(shown.top - clicked.y) <= 2)
        << "the menu opens where the list was clicked: at " << Describe(shown) << ", clicked " << clicked.x << ","
        << clicked.y;

    ASSERT_TRUE(ChooseMenuItem(menu, 0)) << "Kopiera could not be lit";
    const std::wstring expected = [&] {
        std::wstring lines;
        for (int row : {1, 2}) {
            const std::u16string line = ItemText(Log(), row);
            lines += std::wstring(line.begin(), line.end()) + L"\r\n";
        }
        return lines;
    }();
    std::wstring copied;
    EXPECT_TRUE(WaitUntil([&] { return (copied = ClipboardText()) == expected; }))
        << "copied: " << ::testing::PrintToString(Utf16(copied));
    ASSERT_TRUE(WaitUntil([&] { return FindPopupMenu(run.Thread()) == nullptr; }));

    RightClickRow(Log(), 1);
    ASSERT_TRUE(WaitUntil([&] { return (menu = FindPopupMenu(run.Thread())) != nullptr; }));
    ASSERT_TRUE(ChooseMenuItem(menu, 1)) << "Markera allt could not be lit";
    EXPECT_TRUE(WaitUntil([&] { return SendMessageW(Log(), LVM_GETSELECTEDCOUNT, 0, 0) == count; }))
        << "\"Markera allt\" did not select every line";
    ASSERT_TRUE(WaitUntil([&] { return FindPopupMenu(run.Thread()) == nullptr; }));
}

// Shift+F10 reaches the dialog as a context menu with no point of its own.
TEST_F(MainDialog, TheLogsMenuFromTheKeyboardOpensAtTheFocusedLineAndGreysKopieraWithoutASelection) {
    SelectOnly(Log(), {});
    // Shift+F10 in the list, through the system's own handling of the keys.
    const SharedKeyboard keyboard(run.Thread());
    ASSERT_TRUE(keyboard.Attached());
    SharedKeyboard::SetShift(true);
    PostMessageW(Log(), WM_SYSKEYDOWN, VK_F10, 0);
    PostMessageW(Log(), WM_SYSKEYUP, VK_F10, 0xC0000001);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (menu = FindPopupMenu(run.Thread())) != nullptr; })) << "no menu opened";
    const auto items = ItemsOf(reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0)));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[0].greyed) << "nothing is selected to copy";
    EXPECT_FALSE(items[1].greyed);
    RECT shown{}, list{};
    GetWindowRect(menu, &shown);
    GetWindowRect(Log(), &list);
    EXPECT_TRUE(shown.left >= list.left && shown.left < list.right && shown.top >= list.top && shown.top < list.bottom)
        << "the menu opens on the list";

    const std::wstring before = ClipboardText();
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitUntil([&] { return FindPopupMenu(run.Thread()) == nullptr; })) << "Escape left the menu open";
    Settle(run.Window());
    EXPECT_EQ(SendMessageW(Log(), LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_EQ(ClipboardText(), before);
    EXPECT_FALSE(run.Finished()) << "Escape in the menu must not end the dialog";
}

// --- the log file the real program keeps --------------------------------------------------

std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

TEST(LogFile, TheRealDialogKeepsItsLinesInDaltrixLogBesideTheProgram) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path(module);
    path = path.substr(0, path.rfind(L'\\') + 1) + L"Daltrix.log";
    DeleteFileW(path.c_str());

    std::vector<std::u16string> shown;
    {
        ModalRun run(kMainCaption);
        ASSERT_NE(run.Window(), nullptr);
        PostMessageW(run.Item(IDC_START), BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return ItemCount(run.Item(IDC_LOG_LIST)) >= 2; }));
        Settle(run.Window());
        // Read while the program runs, as support may: the file is shared for reading.
        EXPECT_FALSE(FileBytes(path).empty());
        shown = ColumnTexts(run.Item(IDC_LOG_LIST));
    }

    const std::string bytes = FileBytes(path);
    ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u) << "UTF-8 with a byte-order mark";
    std::vector<std::string> lines;
    for (size_t start = 3; start < bytes.size();) {
        const size_t end = bytes.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "a line without CR LF";
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), shown.size() + 1);
    const std::string header =
        std::string("=== Daltrix ") + DALTRIX_VERSION + (sizeof(void*) == 8 ? " (x64)" : " (x86)") + " startad ";
    EXPECT_EQ(lines[0].rfind(header, 0), 0u) << lines[0];
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(computer, &length);
    EXPECT_NE(lines[0].find(" på datorn " + CString(Utf16(computer)).ToUtf8() + " ==="), std::string::npos) << lines[0];
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(lines[i + 1], CString(shown[i]).ToUtf8());
}

// --- the framework's dispatch boundary, on a dialog of the test's own ---------------------

class FailingDialog : public CDialogEx {
public:
    FailingDialog() : CDialogEx(IDD_ABOUTBOX) {}
    std::atomic<int> clicks{0};

protected:
    const MessageMap& GetMessageMap() const override {
        static const MessageMap map{
            {wnd::kWmCommand, IDOK, wnd::kBnClicked,
             [](CDialogEx& d, const MessageArgs&) {
                 ++static_cast<FailingDialog&>(d).clicks;
                 ThrowDBException({{u"08001", u"Kunde inte ansluta"}});
             }},
        };
        return map;
    }
};

TEST(DialogFramework, AnExceptionFromAHandlerIsShownAndTheDialogGoesOn) {
    std::atomic<FailingDialog*> dialog{nullptr};
    ModalRun run(kAboutCaption, [&] {
        FailingDialog failing;
        dialog = &failing;
        const int result = failing.DoModal();
        dialog = nullptr;
        return result;
    });
    ASSERT_NE(run.Window(), nullptr);

    PostMessageW(run.Window(), WM_COMMAND, IDOK, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindDialog(run.Thread(), kMessageBoxCaption)) != nullptr; }))
        << "no message box for the exception";
    EXPECT_EQ(GetWindow(box, GW_OWNER), run.Window());
    const std::vector<std::wstring> texts = ChildTexts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"Kunde inte ansluta"), texts.end());
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));

    Settle(run.Window());
    EXPECT_FALSE(run.Finished()) << "a mapped OK must not end the dialog, nor may the exception";
    EXPECT_EQ(dialog.load()->clicks.load(), 1);
    PostMessageW(run.Window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(run.Result(), IDCANCEL);
}

TEST(DialogFramework, AnUnmappedOkEndsTheDialogWithOk) {
    ModalRun run(kAboutCaption, [] {
        CDialogEx plain(IDD_ABOUTBOX);
        return plain.DoModal();
    });
    ASSERT_NE(run.Window(), nullptr);
    PostMessageW(run.Item(IDOK), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(run.Result(), IDOK);
}

TEST(DialogFramework, AMissingTemplateGivesMinusOne) {
    CDialogEx missing(4242);
    EXPECT_EQ(missing.DoModal(), -1);
}

// --- the framework's list view and window operations on the real controls -----------------

// The main template with the framework's own calls made from OnInitDialog, on the dialog's
// thread, as the system's stages make them; it records what they answered and ends.
class ProbeDialog : public CDialogEx {
public:
    ProbeDialog() : CDialogEx(IDD_DALTRIX_DIALOG) {}

    struct Answers {
        int firstColumn = -2, secondColumn = -2, columns = 0;
        std::string heading1;
        int width0 = 0;
        int markBefore = -2, markAfter = -2;
        std::vector<int> inserted;
        std::string cell00, cell01, cell10, missingColumn, missingRow, negativeRow;
        std::u16string longText;
        int count = 0, countAfterDelete = -1;
        bool ensureLast = false, ensureMissing = true;
        std::vector<int> selectedBefore, selectedAfter;
        bool startWasDisabled = true, startNowDisabled = false, startDisabledTwice = false;
        bool hasSystemMenu = false, noDlgItem = false, iconic = true;
        CRect client;
        RECT systemClient{};
    } answers;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Control(dx, IDC_LOG_LIST, m_log);
        DDX_Control(dx, IDC_COMPANY_LIST, m_companies);
    }

    bool OnInitDialog() override {
        CDialogEx::OnInitDialog();
        Answers& a = answers;
        a.firstColumn = m_companies.InsertColumn(0, u"Nummer", wnd::kLvcfmtLeft, 80);
        a.secondColumn = m_companies.InsertColumn(1, u"Namn", wnd::kLvcfmtLeft, 800);
        a.columns = m_companies.GetColumnCount();
        a.heading1 = m_companies.GetColumnHeading(1).ToUtf8();
        a.width0 = m_companies.GetColumnWidth(0);

        a.markBefore = m_companies.GetSelectionMark();
        // An unsorted list puts each row where it is asked to: 0 is the top.
        a.inserted.push_back(m_companies.InsertItem(0, u"0002"));
        a.inserted.push_back(m_companies.InsertItem(0, u"0001"));
        m_companies.SetItemText(0, 1, u"F\u00f6retaget AB");
        a.cell00 = m_companies.GetItemText(0, 0).ToUtf8();
        a.cell01 = m_companies.GetItemText(0, 1).ToUtf8();
        a.cell10 = m_companies.GetItemText(1, 0).ToUtf8();
        a.missingColumn = m_companies.GetItemText(0, 2).ToUtf8();
        a.missingRow = m_companies.GetItemText(2, 0).ToUtf8();
        a.negativeRow = m_companies.GetItemText(-1, 0).ToUtf8();
        SendMessageW(GetDlgItem(IDC_COMPANY_LIST)->m_impl->hwnd, LVM_SETSELECTIONMARK, 0, 1);
        a.markAfter = m_companies.GetSelectionMark();

        // Longer than the first buffer the framework tries.
        m_log.InsertColumn(0, u"Info", wnd::kLvcfmtLeft, 2000);
        std::u16string longLine(u"001 ");
        for (int i = 0; i < 120; ++i)
            longLine += u"fel \u00e5\u00e4\u00f6 ";
        for (int i = 0; i < 40; ++i)
            m_log.InsertItem(m_log.GetItemCount(), i == 39 ? CString(longLine) : CString(u"rad"));
        a.longText = m_log.GetItemText(39, 0).Str();
        a.count = m_log.GetItemCount();
        a.ensureLast = m_log.EnsureVisible(a.count - 1, false);
        a.ensureMissing = m_log.EnsureVisible(a.count + 5, false);
        m_log.PaintNewRows();
        a.selectedBefore = m_log.GetSelectedItems();
        m_log.SelectAllItems();
        a.selectedAfter = m_log.GetSelectedItems();
        a.countAfterDelete = (m_log.DeleteAllItems(), m_log.GetItemCount());

        CWnd* start = GetDlgItem(IDC_START);
        a.startWasDisabled = start->EnableWindow(false);
        a.startNowDisabled = !start->IsWindowEnabled();
        a.startDisabledTwice = start->EnableWindow(false);
        a.noDlgItem = GetDlgItem(4711) == nullptr;
        a.hasSystemMenu = GetSystemMenu(false) != nullptr;
        a.iconic = IsIconic();
        a.client = GetClientRect();
        ::GetClientRect(m_impl->hwnd, &a.systemClient);

        EndDialog(IDOK);
        return true;
    }

private:
    CListCtrl m_log;
    CListCtrl m_companies;
};

TEST(DialogFramework, ListAndWindowOperationsAnswerAsTheSystemsControlsDo) {
    ProbeDialog probe;
    ASSERT_EQ(probe.DoModal(), IDOK);
    const ProbeDialog::Answers& a = probe.answers;

    EXPECT_EQ(a.firstColumn, 0);
    EXPECT_EQ(a.secondColumn, 1);
    EXPECT_EQ(a.columns, 2);
    EXPECT_EQ(a.heading1, "Namn");
    EXPECT_EQ(a.width0, 80);

    EXPECT_EQ(a.markBefore, -1) << "no row selected yet";
    EXPECT_EQ(a.inserted, (std::vector<int>{0, 0}));
    EXPECT_EQ(a.cell00, "0001");
    EXPECT_EQ(a.cell01, "F\xC3\xB6retaget AB");
    EXPECT_EQ(a.cell10, "0002");
    EXPECT_EQ(a.missingColumn, "") << "a column the list does not have reads as empty text";
    EXPECT_EQ(a.missingRow, "");
    EXPECT_EQ(a.negativeRow, "");
    EXPECT_EQ(a.markAfter, 1);

    EXPECT_EQ(a.longText.size(), 4u + 120u * 8u);
    EXPECT_EQ(a.longText.substr(a.longText.size() - 8), u"fel \u00e5\u00e4\u00f6 ");
    EXPECT_EQ(a.count, 40);
    EXPECT_TRUE(a.ensureLast);
    EXPECT_FALSE(a.ensureMissing);
    EXPECT_TRUE(a.selectedBefore.empty());
    EXPECT_EQ(a.selectedAfter.size(), 40u);
    EXPECT_EQ(a.countAfterDelete, 0);

    EXPECT_FALSE(a.startWasDisabled) << "EnableWindow answers whether the window was disabled before";
    EXPECT_TRUE(a.startNowDisabled);
    EXPECT_TRUE(a.startDisabledTwice);
    EXPECT_TRUE(a.noDlgItem);
    EXPECT_TRUE(a.hasSystemMenu);
    EXPECT_FALSE(a.iconic);
    EXPECT_EQ(a.client.Width(), a.systemClient.right - a.systemClient.left);
    EXPECT_EQ(a.client.Height(), a.systemClient.bottom - a.systemClient.top);
    EXPECT_GT(a.client.Width(), 0);
}

TEST(DialogFramework, WithoutADialogTheListAndOwnerAnswerNothing) {
    CListCtrl unbound;
    EXPECT_EQ(unbound.InsertItem(0, u"x"), -1);
    EXPECT_EQ(unbound.GetItemCount(), 0);
    EXPECT_EQ(unbound.GetSelectionMark(), -1);
    EXPECT_EQ(unbound.GetItemText(0, 0).ToUtf8(), "");
    EXPECT_EQ(wnd::PromptOwner(), nullptr) << "no dialog runs on this thread";
}

// --- the resources themselves --------------------------------------------------------------

TEST(Resources, StringTableHoldsTheSystemMenusItemsOnly) {
    EXPECT_EQ(wnd::LoadResourceString(IDS_ABOUTBOX).ToUtf8(), "&About Daltrix...");
    EXPECT_EQ(wnd::LoadResourceString(IDS_RESTORE).ToUtf8(), "Återställ tqsys.dsn från tqsys.bak...");
    EXPECT_TRUE(wnd::LoadResourceString(IDS_ABOUTBOX + 1).IsEmpty());
    EXPECT_TRUE(wnd::LoadResourceString(IDS_RESTORE + 1).IsEmpty());
}

TEST(Resources, TheIconGroupHoldsEverySizeAndDepth) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(found, nullptr);
    const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(group, nullptr);
    const WORD count = *reinterpret_cast<const WORD*>(group + 4);
    std::vector<std::pair<int, int>> images;  // (size, bits per pixel)
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = group + 6 + 14 * i;  // packed GRPICONDIRENTRY
        const int size = entry[0] == 0 ? 256 : entry[0];
        const WORD bits = static_cast<WORD>(entry[6] | (entry[7] << 8));
        images.emplace_back(size, bits);
    }
    std::sort(images.begin(), images.end());
    std::vector<std::pair<int, int>> expected;
    for (int size : {16, 24, 32, 48})
        for (int bits : {4, 8, 32})
            expected.emplace_back(size, bits);
    expected.emplace_back(256, 32);
    EXPECT_EQ(images, expected);

    for (int size : {16, 32, 48, 256}) {
        HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    EXPECT_NE(wnd::LoadAppIcon(IDR_MAINFRAME), nullptr);
}

TEST(Resources, TheManifestAsksForCommonControlsSixForThisProcessor) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                               SizeofResource(module, found));
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find(sizeof(void*) == 8 ? "processorArchitecture=\"amd64\"" : "processorArchitecture=\"x86\""),
              std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\" uiAccess=\"false\""), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);

    // The manifest took effect: the controls come from the side-by-side version 6 assembly.
    // (DllGetVersion would not tell: Wine's version 6 answers 5.81.)
    wnd::InitCommonControls();
    HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(controls, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(controls, path, MAX_PATH);
    std::wstring lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    EXPECT_NE(lower.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::wstring::npos)
        << "comctl32 loaded from " << std::string(lower.begin(), lower.end());
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || !value)
        return L"";
    return static_cast<const wchar_t*>(value);
}

TEST(Resources, TheVersionResourceNamesTheProgram) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));  // RT_VERSION
    ASSERT_NE(found, nullptr);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    // VerQueryValue needs a writable copy of the block.
    std::vector<BYTE> block(data, data + SizeofResource(module, found));
    block.resize(block.size() * 2);

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    const std::string version =
        std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
        std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(version, DALTRIX_VERSION) << "Daltrix.rc and CMakeLists.txt disagree on the version";
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);

    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x409);
    EXPECT_EQ(static_cast<const WORD*>(value)[1], 1200);

    EXPECT_EQ(VersionString(block, L"FileDescription"), L"Daltrix");
    EXPECT_EQ(VersionString(block, L"InternalName"), L"Daltrix.exe");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"Daltrix.exe");
    const std::string expected = DALTRIX_VERSION;
    EXPECT_EQ(VersionString(block, L"FileVersion"), std::wstring(expected.begin(), expected.end()));
}

}  // namespace
