// Resource ids shared by Daltrix.rc and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_DALTRIX_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_START 1
#define IDC_CANCEL 2
#define IDC_LOG_LIST 1000
#define IDC_COMPANY_LIST 1001
#define IDM_ABOUTBOX 0x0010
// The log's right-click menu.
#define IDM_LOG_COPY 32771
#define IDM_LOG_SELECT_ALL 32772
