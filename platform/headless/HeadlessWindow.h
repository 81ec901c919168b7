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
    struct DrawnIcon {
        int x, y;
        IconHandle icon;
    };
    std::vector<DrawnIcon> drawnIcons;
    int iconBackgroundErasures = 0;
};

namespace headless {

// What the framework showed outside the dialog itself.
struct Screen {
    std::vector<CString> stopMessages;
    std::vector<CString> questions;        // every Yes/No question asked, in order
    std::deque<bool> answers;              // the operator's next answers, true for Yes; No when none is left
    std::vector<unsigned> modalTemplates;  // every DoModal, in order
    CString clipboard;
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

// The list's rows: each row's cells joined as the list shows them.
std::vector<std::string> ItemTexts(const CListCtrl& list, int column = 0);
}  // namespace headless
