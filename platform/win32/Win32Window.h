// What the win32 window back end keeps behind the framework's classes: the handles of the real
// windows, controls and menus they stand for.
#pragma once

#include "platform/win32/Win32Api.h"

#include "platform/PaintPacing.h"
#include "platform/Window.h"

#include <map>
#include <memory>
#include <vector>

struct CWnd::Impl {
    HWND hwnd = nullptr;
};

// A window's own menu (the system menu) belongs to that window; only a popup menu made here is
// destroyed here.
struct CMenu::Impl {
    HMENU menu = nullptr;
    bool owned = false;
    ~Impl() {
        if (owned && menu)
            DestroyMenu(menu);
    }
};

struct CListCtrl::Impl {
    HWND hwnd = nullptr;
    // The row last asked to be visible, made so when painting goes on after being held.
    int ensured = -1;
    bool ensuredPartly = false;
    PaintPacing pacing{{[this](bool on) { SetPainting(on); }, [this] { Paint(); }}};

    void SetPainting(bool on) const;
    void Paint() const;
};

struct CPaintDC::Impl {
    HWND hwnd = nullptr;
    PAINTSTRUCT paint{};
    HDC dc = nullptr;
};

struct CDialogEx::DialogImpl {
    CWnd* parent = nullptr;
    // The objects GetDlgItem hands out; they stand for the controls while the window lives.
    std::map<int, std::unique_ptr<CWnd>> items;
    CMenu systemMenu;
    // Controls bound by DDX_Control, released from their windows when the dialog goes.
    std::vector<CListCtrl*> boundControls;
};
