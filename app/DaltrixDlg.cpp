#include "DaltrixDlg.h"

#include "AboutDlg.h"
#include "LogFormats.h"

#include "platform/PaintPacing.h"
#include "res/resource.h"

namespace {

CDaltrixDlg& Self(CDialogEx& dialog) {
    return static_cast<CDaltrixDlg&>(dialog);
}

constexpr int kVirtualKeyA = 'A';
constexpr int kVirtualKeyC = 'C';

constexpr const char16_t* kMenuCopy = u"Kopiera";
constexpr const char16_t* kMenuSelectAll = u"Markera allt";
constexpr const char16_t* kMenuCheck = u"Kontrollera mot den här servern (ändrar ingenting)";
constexpr const char16_t* kMenuConvert = u"Konvertera till den här servern";

// The message a dialog started with a verb on its command line posts to itself.
constexpr unsigned kWmRunScript = wnd::kWmApp + 1;

}  // namespace

CDaltrixDlg::CDaltrixDlg(CWnd* parent) : CDialogEx(IDD_DALTRIX_DIALOG, parent) {
    m_hIcon = wnd::LoadAppIcon(IDR_MAINFRAME);
}

// Members go in reverse order of declaration, so both connections close here.
CDaltrixDlg::~CDaltrixDlg() = default;

void CDaltrixDlg::DoDataExchange(CDataExchange* dx) {
    CDialogEx::DoDataExchange(dx);
    DDX_Control(dx, IDC_LOG_LIST, m_logList);
    DDX_Control(dx, IDC_COMPANY_LIST, m_companyList);
}

const MessageMap& CDaltrixDlg::GetMessageMap() const {
    static const MessageMap map{
        {wnd::kWmSysCommand, 0, 0, [](CDialogEx& d, const MessageArgs& a) { Self(d).OnSysCommand(a.id, a.lParam); }},
        {wnd::kWmPaint, 0, 0, [](CDialogEx& d, const MessageArgs&) { Self(d).OnPaint(); }},
        {wnd::kWmQueryDragIcon, 0, 0,
         [](CDialogEx& d, const MessageArgs& a) { *a.result = reinterpret_cast<LRESULT>(Self(d).OnQueryDragIcon()); }},
        {wnd::kWmCommand, IDC_START, wnd::kBnClicked,
         [](CDialogEx& d, const MessageArgs&) { Self(d).OnStartClicked(); }},
        {wnd::kWmNotify, IDC_COMPANY_LIST, wnd::kNmDblclk,
         [](CDialogEx& d, const MessageArgs& a) { Self(d).OnDblclkCompanyList(a.header, a.result); }},
        {wnd::kWmNotify, IDC_LOG_LIST, wnd::kLvnKeydown,
         [](CDialogEx& d, const MessageArgs& a) { Self(d).OnLogKeyDown(a.key, a.ctrl); }},
        {wnd::kWmContextMenu, IDC_LOG_LIST, 0,
         [](CDialogEx& d, const MessageArgs& a) { Self(d).OnLogContextMenu(a.point); }},
        {wnd::kWmContextMenu, IDC_COMPANY_LIST, 0,
         [](CDialogEx& d, const MessageArgs& a) { Self(d).OnCompanyContextMenu(a.point, a.fromKeyboard); }},
        {kWmRunScript, 0, 0, [](CDialogEx& d, const MessageArgs&) { Self(d).OnRunScript(); }},
    };
    return map;
}

bool CDaltrixDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();

    if (CMenu* menu = GetSystemMenu(false)) {
        const CString about = wnd::LoadResourceString(IDS_ABOUTBOX);
        if (!about.IsEmpty()) {
            menu->AppendMenu(wnd::kMfSeparator);
            menu->AppendMenu(wnd::kMfString, IDM_ABOUTBOX, about);
        }
        const CString restore = wnd::LoadResourceString(IDS_RESTORE);
        if (!restore.IsEmpty())
            menu->AppendMenu(wnd::kMfString, IDM_RESTORE, restore);
    }
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);

    m_logList.InsertColumn(0, u"Info", wnd::kLvcfmtLeft, 2000);
    m_companyList.InsertColumn(0, u"Nummer", wnd::kLvcfmtLeft, 80);
    m_companyList.InsertColumn(1, u"Namn", wnd::kLvcfmtLeft, 800);
    m_companyList.InsertColumn(2, u"FileDSN", wnd::kLvcfmtLeft, 800);

    // Before the first line, so that the file holds every line from 001 on.
    m_logFile.Open();
    m_msgNo = 1;
    AddLog(logfmt::kClickStart);
    if (m_script.verb != ScriptCommand::Verb::None)
        PostToSelf(kWmRunScript);
    return true;
}

void CDaltrixDlg::AddLog(const char16_t* format, const std::vector<CString::FormatArg>& args) {
    std::vector<CString::FormatArg> values{m_msgNo++};
    values.insert(values.end(), args.begin(), args.end());
    const CString line = VisibleText(CString::Format(format, values));
    // In the file before the stage that follows can fail or hang: the record outlives a crash.
    const std::optional<CString> fileLost = m_logFile.Append(line);
    // Lines go in at the end, so the list keeps writing order at any count.
    const int row = m_logList.InsertItem(m_logList.GetItemCount(), line);
    if (row >= 0)
        m_logList.EnsureVisible(row, false);
    // A handler runs on the one thread; painting as lines come lets a long run show its progress.
    m_logList.PaintNewRows();
    if (fileLost)
        AddLog(logfmt::kCannotSaveLog, {m_logFile.Path(), *fileLost});
}

CString VisibleText(CString text) {
    text.Replace(CString(std::u16string(1, u'\0')), u"\u2400");
    return text;
}

void CDaltrixDlg::PrepareLoginPrompt(CDatabase& database) {
    PaintPacing::ReleaseAll();
    database.SetPromptOwner(wnd::PromptOwner());
    // Nobody is there to answer a prompt in a run from a script.
    database.AllowPrompt(m_script.verb == ScriptCommand::Verb::None);
}

bool CDaltrixDlg::Ask(const CString& question) {
    if (m_script.verb == ScriptCommand::Verb::None)
        return AskYesNo(question);
    AddLog(m_script.yes ? logfmt::kScriptAnsweredYes : logfmt::kScriptAnsweredNo);
    return m_script.yes;
}

void CDaltrixDlg::OnSysCommand(unsigned id, std::intptr_t /*lParam*/) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else if ((id & 0xFFF0) == IDM_RESTORE) {
        RestoreSystemDsn();
    } else {
        Default();
    }
}

void CDaltrixDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    dc.EraseIconBackground();
    const CRect client = GetClientRect();
    const int x = (client.Width() - GetIconWidth() + 1) / 2;
    const int y = (client.Height() - GetIconHeight() + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

IconHandle CDaltrixDlg::OnQueryDragIcon() {
    return m_hIcon;
}

// Ctrl+A selects the whole log and Ctrl+C copies the selected lines, so an operator can send
// the log to support.
void CDaltrixDlg::OnLogKeyDown(int key, bool ctrl) {
    if (!ctrl)
        return;
    if (key == kVirtualKeyA)
        m_logList.SelectAllItems();
    else if (key == kVirtualKeyC)
        CopySelectedLogLines();
}

// The same two commands on a right-click (and on Shift+F10 or the menu key), for an operator
// who does not know the keys. "Kopiera" is greyed while no line is selected.
void CDaltrixDlg::OnLogContextMenu(CPoint point) {
    CMenu menu;
    if (!menu.CreatePopupMenu())
        return;
    const unsigned copyState = m_logList.GetSelectedItems().empty() ? wnd::kMfGrayed : 0;
    menu.AppendMenu(wnd::kMfString | copyState, IDM_LOG_COPY, kMenuCopy);
    menu.AppendMenu(wnd::kMfString, IDM_LOG_SELECT_ALL, kMenuSelectAll);
    switch (menu.TrackPopupMenu(point, *this)) {
        case IDM_LOG_COPY:
            CopySelectedLogLines();
            break;
        case IDM_LOG_SELECT_ALL:
            m_logList.SelectAllItems();
            break;
        default:
            break;  // dismissed
    }
}

// Right-click, Shift+F10 or the menu key on a company: the two things to do with its server. A
// menu from the keyboard belongs to the selected row, one from the mouse to the row under it.
void CDaltrixDlg::OnCompanyContextMenu(CPoint point, bool fromKeyboard) {
    const int row = fromKeyboard ? m_companyList.GetSelectionMark() : m_companyList.RowAt(point);
    CMenu menu;
    if (row < 0 || !menu.CreatePopupMenu())
        return;
    menu.AppendMenu(wnd::kMfString, IDM_COMPANY_CHECK, kMenuCheck);
    menu.AppendMenu(wnd::kMfString, IDM_COMPANY_CONVERT, kMenuConvert);
    switch (menu.TrackPopupMenu(point, *this)) {
        case IDM_COMPANY_CHECK:
            CheckCompany(row);
            break;
        case IDM_COMPANY_CONVERT:
            ConvertCompany(row);
            break;
        default:
            break;  // dismissed
    }
}

// One line per selected log line, each ended by CR LF, in the order the list shows them.
void CDaltrixDlg::CopySelectedLogLines() {
    CString text;
    for (int row : m_logList.GetSelectedItems())
        text += SingleLine(m_logList.GetItemText(row, 0)) + u"\r\n";
    if (!text.IsEmpty())
        wnd::SetClipboardText(text);
}
