// The ODBC headers, with what Windows' versions need in front of them.
#pragma once

#ifdef _WIN32
// <windows.h> as the win32 back ends read it, so it and platform/Window.h can meet in one file.
#include "platform/win32/Win32Api.h"
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
