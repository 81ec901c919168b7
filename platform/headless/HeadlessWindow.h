// The headless window back end: controls held in memory, driven by tests through the same
// message dispatch the real dialog uses.
#pragma once

#include "platform/PaintPacing.h"
#include "platform/Window.h"

#include <deque>
#include <map>
#include <set>
#include <string>

struct CListCtrl::Impl {
    struct Column {
        CString heading;
        int format;
        int width;
    };
    std::vector<Column> columns;
    std::vector<std::vector<CString>> rows;  // cell 0 is the item's own text
    std::set<int> selected;
    int selectionMark = -1;
    int lastEnsured = -1;
    int repaints = 0;
    bool held = false;
    PaintPacing pacing{{[this](bool on) { held = !on; }, [this] { ++repaints; }}};
};

struct CMenu::Impl {
    struct Item {
        unsigned flags;
        unsigned id;
        CString text;
    };
    std::vector<Item> items;
};

struct CWnd::Impl {
    bool enabled = true;
};

struct CPaintDC::Impl {
    CDialogEx* dialog;
};

struct CDialogEx::DialogImpl {
    std::map<int, std::unique_ptr<CWnd>> items;
    CMenu systemMenu;
    IconHandle bigIcon = nullptr;
    IconHandle smallIcon = nullptr;
    bool iconic = false;
    CRect client{0, 0, 1000, 600};
    bool ended = false;
    int endCode = 0;
    std::deque<unsigned> posted;  // messages waiting for headless::RunPosted
    struct DrawnIcon {
        int x, y;
        IconHandle icon;
    };
    std::vector<DrawnIcon> drawnIcons;
    int iconBackgroundErasures = 0;
};

namespace headless {

// A popup menu as it was shown.
struct ShownMenu {
    CPoint at;
    std::vector<CMenu::Impl::Item> items;
};

// What the framework showed outside the dialog itself, and what the operator does next there.
struct Screen {
    std::vector<CString> stopMessages;
    std::vector<CString> informations;     // every information box, caption and text joined by a line feed
    std::vector<CString> questions;        // every Yes/No question asked, in order
    std::deque<bool> answers;              // the operator's next answers, true for Yes; No when none is left
    std::vector<unsigned> modalTemplates;  // every DoModal, in order
    CString clipboard;
    std::vector<ShownMenu> menus;
    unsigned menuChoice = 0;  // the item the next popup menu is answered with; 0 dismisses it
};
Screen& TheScreen();

// Creates the dialog's controls and runs OnInitDialog, as showing the dialog does.
void Open(CDialogEx& dialog);
// A click on a push button; a disabled button does not react, and an unmapped IDOK or
// IDCANCEL ends the dialog as the framework does.
void Click(CDialogEx& dialog, int id);
// Selects the row (it becomes the selection mark) and double-clicks it; returns the result
// value the handler left (-1 if it left none).
LRESULT DoubleClickRow(CDialogEx& dialog, int listId, CListCtrl& list, int row);
// A double-click in the list without selecting anything first.
LRESULT DoubleClick(CDialogEx& dialog, int listId);
void SelectRow(CListCtrl& list, int row);
void SysCommand(CDialogEx& dialog, unsigned id);
void KeyDown(CDialogEx& dialog, int listId, int key, bool ctrl);
// A right-click on the control at the screen point (or the menu key, from the keyboard); the
// next popup is answered with `choice`.
void ContextMenu(CDialogEx& dialog, int controlId, CPoint at, unsigned choice, bool fromKeyboard = false);
// Where a row of a headless list lies on the screen: rows stand kRowHeight apart from the top.
constexpr int kRowHeight = 20;
CPoint RowPoint(int row);
// Handles the messages the dialog posted to itself, in order, as its message loop would.
void RunPosted(CDialogEx& dialog);

// The list's rows: each row's cells joined as the list shows them.
std::vector<std::string> ItemTexts(const CListCtrl& list, int column = 0);
}  // namespace headless
