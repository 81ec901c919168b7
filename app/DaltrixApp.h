#pragma once

#include "platform/Window.h"

class CDaltrixApp : public CWinApp {
public:
    CDaltrixApp();
    bool InitInstance() override;
};
