// Resource ids shared by Daltrix.rc and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDS_RESTORE 103
#define IDD_DALTRIX_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_START 1
#define IDC_CANCEL 2
#define IDC_LOG_LIST 1000
#define IDC_COMPANY_LIST 1001
#define IDM_ABOUTBOX 0x0010
// The system menu's second item of its own: the product's tqsys.dsn back from tqsys.bak.
#define IDM_RESTORE 0x0020
// The log's right-click menu.
#define IDM_LOG_COPY 32771
#define IDM_LOG_SELECT_ALL 32772
// The company list's right-click menu.
#define IDM_COMPANY_CHECK 32781
#define IDM_COMPANY_CONVERT 32782
