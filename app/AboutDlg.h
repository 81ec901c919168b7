#pragma once

#include "platform/Window.h"

class CAboutDlg : public CDialogEx {
public:
    CAboutDlg();
};
