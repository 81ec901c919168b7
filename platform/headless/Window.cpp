#include "HeadlessWindow.h"

#include "res/ResourceText.h"

#include <algorithm>
#include <utility>

namespace {
int g_iconToken = 0;
}

namespace wnd {
void* PromptOwner() {
    return nullptr;
}
void InitCommonControls() {
}
IconHandle LoadAppIcon(int /*groupId*/) {
    return &g_iconToken;
}
CString LoadResourceString(unsigned id) {
    switch (id) {
        case 101:
            return CString::FromUtf8(TEXT_ABOUTBOX_MENU);
        case 103:
            return CString::FromUtf8(TEXT_RESTORE_MENU);
        default:
            return CString();
    }
}
void SetClipboardText(const CString& text) {
    headless::TheScreen().clipboard = text;
}
void ShowInformation(const CString& caption, const CString& text) {
    headless::TheScreen().informations.push_back(caption + u"\n" + text);
}
}  // namespace wnd

CMenu::CMenu() : m_impl(std::make_unique<Impl>()) {
}
CMenu::~CMenu() = default;

bool CMenu::CreatePopupMenu() {
    return true;
}

bool CMenu::AppendMenu(unsigned flags, unsigned id, const CString& text) {
    m_impl->items.push_back({flags, id, text});
    return true;
}

// As a real menu answers: only an item that is there and not greyed can be chosen.
unsigned CMenu::TrackPopupMenu(CPoint at, CDialogEx& /*owner*/) {
    headless::Screen& screen = headless::TheScreen();
    screen.menus.push_back({at, m_impl->items});
    const unsigned choice = std::exchange(screen.menuChoice, 0u);
    for (const auto& item : m_impl->items)
        if (item.id == choice && choice != 0 && !(item.flags & wnd::kMfGrayed))
            return choice;
    return 0;
}

CWnd::CWnd() : m_impl(std::make_unique<Impl>()) {
}
CWnd::~CWnd() = default;

bool CWnd::EnableWindow(bool enable) {
    const bool wasDisabled = !m_impl->enabled;
    m_impl->enabled = enable;
    return wasDisabled;
}

bool CWnd::IsWindowEnabled() const {
    return m_impl->enabled;
}

CListCtrl::CListCtrl() : m_impl(std::make_unique<Impl>()) {
}
CListCtrl::~CListCtrl() = default;

int CListCtrl::InsertColumn(int column, const CString& heading, int format, int width) {
    const int at = std::clamp(column, 0, static_cast<int>(m_impl->columns.size()));
    m_impl->columns.insert(m_impl->columns.begin() + at, {heading, format, width});
    return at;
}

int CListCtrl::InsertItem(int item, const CString& text) {
    const int at = std::clamp(item, 0, GetItemCount());
    m_impl->rows.insert(m_impl->rows.begin() + at, std::vector<CString>{text});
    // Later rows move down one place, their selection with them.
    std::set<int> moved;
    for (int row : m_impl->selected)
        moved.insert(row >= at ? row + 1 : row);
    m_impl->selected = moved;
    if (m_impl->selectionMark >= at)
        ++m_impl->selectionMark;
    return at;
}

bool CListCtrl::SetItemText(int item, int subItem, const CString& text) {
    if (item < 0 || item >= GetItemCount() || subItem < 0 || subItem >= std::max(1, GetColumnCount()))
        return false;
    auto& cells = m_impl->rows[static_cast<size_t>(item)];
    if (cells.size() <= static_cast<size_t>(subItem))
        cells.resize(static_cast<size_t>(subItem) + 1);
    cells[static_cast<size_t>(subItem)] = text;
    return true;
}

CString CListCtrl::GetItemText(int item, int subItem) const {
    if (item < 0 || item >= GetItemCount() || subItem < 0)
        return {};
    const auto& cells = m_impl->rows[static_cast<size_t>(item)];
    return static_cast<size_t>(subItem) < cells.size() ? cells[static_cast<size_t>(subItem)] : CString();
}

int CListCtrl::GetItemCount() const {
    return static_cast<int>(m_impl->rows.size());
}

bool CListCtrl::EnsureVisible(int item, bool /*partialOk*/) {
    if (item < 0 || item >= GetItemCount())
        return false;
    m_impl->lastEnsured = item;
    return true;
}

int CListCtrl::GetSelectionMark() const {
    return m_impl->selectionMark;
}

int CListCtrl::RowAt(CPoint screenPoint) const {
    const int row = screenPoint.y >= 0 ? screenPoint.y / headless::kRowHeight : -1;
    return row < GetItemCount() ? row : -1;
}

bool CListCtrl::DeleteAllItems() {
    m_impl->rows.clear();
    m_impl->selected.clear();
    m_impl->selectionMark = -1;
    return true;
}

void CListCtrl::PaintNewRows() {
    m_impl->pacing.RowAdded();
}

void CListCtrl::SelectAllItems() {
    for (int row = 0; row < GetItemCount(); ++row)
        m_impl->selected.insert(row);
}

std::vector<int> CListCtrl::GetSelectedItems() const {
    return {m_impl->selected.begin(), m_impl->selected.end()};
}

int CListCtrl::GetColumnCount() const {
    return static_cast<int>(m_impl->columns.size());
}

CString CListCtrl::GetColumnHeading(int column) const {
    return column >= 0 && column < GetColumnCount() ? m_impl->columns[static_cast<size_t>(column)].heading : CString();
}

int CListCtrl::GetColumnWidth(int column) const {
    return column >= 0 && column < GetColumnCount() ? m_impl->columns[static_cast<size_t>(column)].width : 0;
}

void DDX_Control(CDataExchange* /*dx*/, int /*id*/, CListCtrl& /*control*/) {
}

CPaintDC::CPaintDC(CDialogEx* dialog) : m_impl(std::make_unique<Impl>(Impl{dialog})) {
}
CPaintDC::~CPaintDC() = default;

void CPaintDC::EraseIconBackground() {
    ++m_impl->dialog->m_dialogImpl->iconBackgroundErasures;
}

void CPaintDC::DrawIcon(int x, int y, IconHandle icon) {
    m_impl->dialog->m_dialogImpl->drawnIcons.push_back({x, y, icon});
}

int GetIconWidth() {
    return 32;
}

int GetIconHeight() {
    return 32;
}

CDialogEx::CDialogEx(unsigned templateId, CWnd* /*parent*/)
    : m_dialogImpl(std::make_unique<DialogImpl>()), m_templateId(templateId) {
}

CDialogEx::~CDialogEx() = default;

int CDialogEx::DoModal() {
    headless::TheScreen().modalTemplates.push_back(m_templateId);
    headless::Open(*this);
    return m_dialogImpl->ended ? m_dialogImpl->endCode : wnd::kIdCancel;
}

void CDialogEx::EndDialog(int result) {
    m_dialogImpl->ended = true;
    m_dialogImpl->endCode = result;
}

void CDialogEx::PostToSelf(unsigned message) {
    m_dialogImpl->posted.push_back(message);
}

CWnd* CDialogEx::GetDlgItem(int id) {
    auto& item = m_dialogImpl->items[id];
    if (!item)
        item = std::make_unique<CWnd>();
    return item.get();
}

CMenu* CDialogEx::GetSystemMenu(bool /*revert*/) {
    return &m_dialogImpl->systemMenu;
}

void CDialogEx::SetIcon(IconHandle icon, bool big) {
    (big ? m_dialogImpl->bigIcon : m_dialogImpl->smallIcon) = icon;
}

bool CDialogEx::IsIconic() const {
    return m_dialogImpl->iconic;
}

CRect CDialogEx::GetClientRect() const {
    return m_dialogImpl->client;
}

void ShowStopMessage(CDialogEx& /*owner*/, const CString& text) {
    headless::TheScreen().stopMessages.push_back(text);
}

bool ShowYesNoQuestion(CDialogEx& /*owner*/, const CString& text) {
    headless::Screen& screen = headless::TheScreen();
    screen.questions.push_back(text);
    if (screen.answers.empty())
        return false;
    const bool yes = screen.answers.front();
    screen.answers.pop_front();
    return yes;
}

namespace headless {

Screen& TheScreen() {
    static Screen screen;
    return screen;
}

void Open(CDialogEx& dialog) {
    dialog.RunGuarded([&] { dialog.OnInitDialog(); });
}

void Click(CDialogEx& dialog, int id) {
    if (!dialog.GetDlgItem(id)->IsWindowEnabled())
        return;
    const bool handled = dialog.Dispatch(wnd::kWmCommand, id, wnd::kBnClicked, MessageArgs{});
    if (!handled && (id == wnd::kIdOk || id == wnd::kIdCancel))
        dialog.EndDialog(id);
}

void SelectRow(CListCtrl& list, int row) {
    list.m_impl->selected = {row};
    list.m_impl->selectionMark = row;
}

LRESULT DoubleClick(CDialogEx& dialog, int listId) {
    NMHDR header;
    header.idFrom = static_cast<std::uintptr_t>(listId);
    header.code = wnd::kNmDblclk;
    LRESULT result = -1;
    MessageArgs args;
    args.header = &header;
    args.result = &result;
    dialog.Dispatch(wnd::kWmNotify, listId, wnd::kNmDblclk, args);
    return result;
}

LRESULT DoubleClickRow(CDialogEx& dialog, int listId, CListCtrl& list, int row) {
    SelectRow(list, row);
    return DoubleClick(dialog, listId);
}

void SysCommand(CDialogEx& dialog, unsigned id) {
    MessageArgs args;
    args.id = id;
    dialog.Dispatch(wnd::kWmSysCommand, 0, 0, args);
}

void KeyDown(CDialogEx& dialog, int listId, int key, bool ctrl) {
    MessageArgs args;
    args.key = key;
    args.ctrl = ctrl;
    dialog.Dispatch(wnd::kWmNotify, listId, wnd::kLvnKeydown, args);
}

void ContextMenu(CDialogEx& dialog, int controlId, CPoint at, unsigned choice, bool fromKeyboard) {
    TheScreen().menuChoice = choice;
    MessageArgs args;
    args.point = at;
    args.fromKeyboard = fromKeyboard;
    dialog.Dispatch(wnd::kWmContextMenu, controlId, 0, args);
    TheScreen().menuChoice = 0;
}

CPoint RowPoint(int row) {
    return CPoint{5, row * kRowHeight + kRowHeight / 2};
}

void RunPosted(CDialogEx& dialog) {
    auto& posted = dialog.m_dialogImpl->posted;
    while (!posted.empty()) {
        const unsigned message = posted.front();
        posted.pop_front();
        dialog.Dispatch(message, 0, 0, MessageArgs{});
    }
}

std::vector<std::string> ItemTexts(const CListCtrl& list, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < list.GetItemCount(); ++row)
        texts.push_back(list.GetItemText(row, column).ToUtf8());
    return texts;
}

}  // namespace headless
