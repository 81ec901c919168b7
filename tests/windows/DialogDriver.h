// Drives the real dialogs of the Windows build from a test thread: a dialog runs modally on a
// thread of its own, as the program's only thread shows it, while the test reads its windows and
// sends them messages, as the operator's keyboard and mouse would.
#pragma once

#include "platform/win32/Win32Window.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace dialog_driver {

using namespace std::chrono_literals;

// How long a dialog may take to react to one thing the test did.
constexpr std::chrono::milliseconds kPatience = 10s;

const std::wstring kMainCaption = L"Konvertera Varnik L\u00f6n till version 3.x";
const std::wstring kAboutCaption = L"About Daltrix";
// The caption of the message box the framework shows for an exception that leaves a handler.
const std::wstring kMessageBoxCaption = L"Daltrix";
const std::u16string kInstallDir = u"C:\\Program Files\\Varnik";

std::u16string Utf16(const std::wstring& text);
std::wstring WindowText(HWND hwnd);
std::wstring ClassOf(HWND hwnd);

// Polls until `condition` holds; false when it did not within `patience`.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds patience = kPatience);

// Window enumeration with a callable that returns false to stop.
using WindowVisitor = std::function<bool(HWND)>;
void ForEachThreadWindow(DWORD thread, WindowVisitor visit);
void ForEachChild(HWND parent, WindowVisitor visit);

// A visible dialog box of the thread whose caption is `caption`; null when there is none.
HWND FindDialog(DWORD thread, const std::wstring& caption);
// The texts of every child of a dialog box, static texts included, in window order.
std::vector<std::wstring> ChildTexts(HWND dialog);

// Waits until every message sent or posted to the dialog's thread before now has been handled.
void Settle(HWND dialog);

// --- list views, read with their own messages ------------------------------------------------

int ItemCount(HWND list);
std::u16string ItemText(HWND list, int item, int subItem = 0);
// The text of one column in every row, top to bottom.
std::vector<std::u16string> ColumnTexts(HWND list, int subItem = 0);
std::vector<std::u16string> Headings(HWND list);
int ColumnWidth(HWND list, int column);

// A double-click with the left button on the first column of `row`, as the mouse gives it to
// the list view: the list view selects the row and notifies its dialog itself. Posted, so the
// test goes on while the dialog's thread handles what the double-click starts.
void DoubleClickRow(HWND list, int row);

// --- menus and keys --------------------------------------------------------------------------

// The popup menu the thread shows: the system's menu window class. Null when none is open.
HWND FindPopupMenu(DWORD thread);

struct MenuItem {
    std::wstring text;
    bool greyed;
};
std::vector<MenuItem> ItemsOf(HMENU menu);

// The operator's keys in the open menu, as a person presses them: Down until the item is lit,
// each press seen before the next (a menu may open with an item lit already), then Enter.
bool ChooseMenuItem(HWND menu, int item);

// The key state shared with a dialog's thread while the object lives, so that what the keys
// do there sees Ctrl and Shift held, and its focus can be read here.
class SharedKeyboard {
public:
    explicit SharedKeyboard(DWORD other);
    ~SharedKeyboard();
    SharedKeyboard(const SharedKeyboard&) = delete;
    SharedKeyboard& operator=(const SharedKeyboard&) = delete;
    bool Attached() const { return m_attached; }
    static void SetControl(bool down) { Hold(VK_CONTROL, VK_LCONTROL, down); }
    static void SetShift(bool down) { Hold(VK_SHIFT, VK_LSHIFT, down); }

private:
    static void Hold(int key, int leftKey, bool down);

    DWORD m_other;
    bool m_attached;
};

// --- running a dialog ------------------------------------------------------------------------

// The program's main dialog with this installation folder, shown as the program shows it; the
// body of a ModalRun.
int ShowMainDialog(const std::u16string& installDir = kInstallDir);

class ModalRun {
public:
    using Body = std::function<int()>;

    // Starts `body` on a new thread and waits for its dialog with this caption to show.
    explicit ModalRun(
        const std::wstring& caption, Body body = [] { return ShowMainDialog(); });
    // Cancels whatever the thread still shows (the dialog, an About box, a message box) until
    // the dialog has ended; a dialog that will not end fails the whole run rather than hang it.
    ~ModalRun();
    ModalRun(const ModalRun&) = delete;
    ModalRun& operator=(const ModalRun&) = delete;

    HWND Window() const { return m_hwnd; }
    DWORD Thread() const { return m_threadId; }
    HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }
    bool Finished() const { return m_finished; }

    // The body's result, once it has returned; -99 when it did not in time.
    int Result();

private:
    std::thread m_thread;
    std::atomic<DWORD> m_threadId{0};
    std::atomic<bool> m_finished{false};
    int m_result = 0;
    HWND m_hwnd = nullptr;
};

}  // namespace dialog_driver
