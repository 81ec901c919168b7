// The program's entry point: the application object does all the work in InitInstance and asks
// for no message loop of its own, so the process ends when it returns.
#include "platform/win32/Win32Api.h"

#include "platform/Window.h"

extern "C" int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
    CWinApp* app = AfxGetApp();
    if (!app)
        return 0;
    app->InitInstance();
    return app->ExitInstance();
}
