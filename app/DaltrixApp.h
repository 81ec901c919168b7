#pragma once

#include "platform/Window.h"

class CDaltrixApp : public CWinApp {
public:
    CDaltrixApp();
    bool InitInstance() override;
    int ExitInstance() override;

private:
    int m_exitCode = 0;
};
