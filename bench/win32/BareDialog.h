// The bare dialog program's resource ids and caption, shared by its resources, its code and the
// start-up benchmark that looks for its window.
#pragma once

#define IDD_BARE_DIALOG 100
#define IDC_BARE_LIST 1000
#define BARE_DIALOG_CAPTION "Bare dialog"
