// The window framework the logic stands on: the application object, dialogs with a message
// map, list views, menus and painting. Two back ends: win32 (real windows from res/) and
// headless (in-memory controls, for tests).
#pragma once

#include "CString.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

using LRESULT = std::intptr_t;
using IconHandle = void*;

namespace wnd {
// Messages and notification codes the message maps name (their Windows values).
constexpr unsigned kWmPaint = 0x000F;
constexpr unsigned kWmQueryDragIcon = 0x0037;
constexpr unsigned kWmContextMenu = 0x007B;
constexpr unsigned kWmNotify = 0x004E;
constexpr unsigned kWmCommand = 0x0111;
constexpr unsigned kWmSysCommand = 0x0112;
// The first of the messages a program defines for itself (WM_APP).
constexpr unsigned kWmApp = 0x8000;
constexpr int kBnClicked = 0;
constexpr int kNmDblclk = -3;
constexpr int kLvnKeydown = -155;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr unsigned kMfSeparator = 0x0800;
constexpr unsigned kMfString = 0x0000;
constexpr unsigned kMfGrayed = 0x0001;
constexpr int kLvcfmtLeft = 0;

// The window a driver's login prompt belongs to: the main window, or none.
void* PromptOwner();

// All eight common-control classes of the Windows 95 set.
void InitCommonControls();

IconHandle LoadAppIcon(int groupId);
CString LoadResourceString(unsigned id);

void SetClipboardText(const CString& text);

// A message box of its own, with an information icon and OK, for a program that shows no dialog.
void ShowInformation(const CString& caption, const CString& text);
}  // namespace wnd

struct NMHDR {
    void* hwndFrom = nullptr;
    std::uintptr_t idFrom = 0;
    int code = 0;
};

// A point on the screen, in pixels.
struct CPoint {
    int x = 0;
    int y = 0;
};

// What a handler is given: the command id (WM_SYSCOMMAND's nID), the notification, for key
// notifications the virtual key with the state of Ctrl, and for a context menu the screen point
// it belongs at (for one asked for from the keyboard, the back end has chosen a point on the control,
// and says so).
struct MessageArgs {
    unsigned id = 0;
    std::intptr_t lParam = 0;
    NMHDR* header = nullptr;
    LRESULT* result = nullptr;
    int key = 0;
    bool ctrl = false;
    CPoint point;
    bool fromKeyboard = false;
};

class CDialogEx;

struct MessageMapEntry {
    unsigned message;
    int controlId;  // 0 for window messages
    int code;       // notification code; 0 for window messages
    void (*handler)(CDialogEx& dialog, const MessageArgs& args);
};
using MessageMap = std::vector<MessageMapEntry>;

// A window's own menu (the system menu), or a popup menu that this object owns and destroys.
class CMenu {
public:
    bool CreatePopupMenu();
    bool AppendMenu(unsigned flags, unsigned id = 0, const CString& text = CString());
    // Shows the popup at the screen point until the operator chooses or dismisses it; the id of
    // the chosen item, 0 when none was chosen. The owner gets no command message.
    unsigned TrackPopupMenu(CPoint at, CDialogEx& owner);
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    CMenu();
    ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;
};

class CWnd {
public:
    virtual ~CWnd();
    bool EnableWindow(bool enable);
    bool IsWindowEnabled() const;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    CWnd();
};

class CListCtrl {
public:
    CListCtrl();
    ~CListCtrl();
    CListCtrl(const CListCtrl&) = delete;
    CListCtrl& operator=(const CListCtrl&) = delete;

    int InsertColumn(int column, const CString& heading, int format, int width);
    // Inserts a row with only its text set; returns the index the row really got.
    int InsertItem(int item, const CString& text);
    bool SetItemText(int item, int subItem, const CString& text);
    // The cell's text; empty for a row or column the list does not have.
    CString GetItemText(int item, int subItem) const;
    int GetItemCount() const;
    bool EnsureVisible(int item, bool partialOk);
    // The row last selected, or -1 when none has been.
    int GetSelectionMark() const;
    // The row at a point of the screen, in any of its columns; -1 when there is none.
    int RowAt(CPoint screenPoint) const;
    bool DeleteAllItems();
    // A row was added: it shows while a handler still runs, painted now or, in a burst of rows,
    // paced (see PaintPacing).
    void PaintNewRows();

    void SelectAllItems();
    std::vector<int> GetSelectedItems() const;

    int GetColumnCount() const;
    CString GetColumnHeading(int column) const;
    int GetColumnWidth(int column) const;

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

class CDataExchange {
public:
    explicit CDataExchange(CDialogEx* dialog) : m_dialog(dialog) {}
    CDialogEx* m_dialog;
};
void DDX_Control(CDataExchange* dx, int id, CListCtrl& control);

struct CRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

class CPaintDC {
public:
    explicit CPaintDC(CDialogEx* dialog);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    // WM_ICONERASEBKGND to the window with this device context.
    void EraseIconBackground();
    void DrawIcon(int x, int y, IconHandle icon);
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

int GetIconWidth();   // SM_CXICON
int GetIconHeight();  // SM_CYICON

class CDialogEx : public CWnd {
public:
    explicit CDialogEx(unsigned templateId, CWnd* parent = nullptr);
    ~CDialogEx() override;

    // Shows the dialog and runs its message loop until it ends; returns the end code.
    int DoModal();
    void EndDialog(int result);
    // Has the message (kWmApp and up) handled by this dialog's map once the current handler and
    // those already waiting are done.
    void PostToSelf(unsigned message);

    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* dx);
    virtual const MessageMap& GetMessageMap() const;

    CWnd* GetDlgItem(int id);
    CMenu* GetSystemMenu(bool revert);
    void SetIcon(IconHandle icon, bool big);
    bool IsIconic() const;
    CRect GetClientRect() const;

    // Hands the message being handled to the framework's own processing.
    void Default();

    // Asks the operator a question in a Yes/No box with the dialog's caption and No as the
    // default button, the log painted as it stands behind it; true for Yes.
    bool AskYesNo(const CString& question);

    // Runs the mapped handler; an exception that leaves it is shown as a stop-icon message
    // box with its text, and the dialog goes on. False when nothing is mapped.
    bool Dispatch(unsigned message, int controlId, int code, const MessageArgs& args);
    void RunGuarded(const std::function<void()>& work);
    bool DefaultRequested() const { return m_defaultRequested; }

    unsigned TemplateId() const { return m_templateId; }

    struct DialogImpl;
    std::unique_ptr<DialogImpl> m_dialogImpl;

private:
    unsigned m_templateId;
    bool m_defaultRequested = false;
};

// Shows a stop-icon message box owned by the window; backs the dispatch boundary.
void ShowStopMessage(CDialogEx& owner, const CString& text);
// Shows a Yes/No box owned by the window, with its caption and No the default; true for Yes.
bool ShowYesNoQuestion(CDialogEx& owner, const CString& text);

class CWinApp {
public:
    explicit CWinApp(const char16_t* appName = nullptr);
    virtual ~CWinApp();
    virtual bool InitInstance();
    // The process's exit code, asked for once InitInstance has returned.
    virtual int ExitInstance() { return 0; }
    void SetRegistryKey(const CString& key) { m_registryKey = key; }

    CWnd* m_pMainWnd = nullptr;
    unsigned m_dwRestartManagerSupportFlags = 0;

private:
    CString m_registryKey;
};

CWinApp* AfxGetApp();
