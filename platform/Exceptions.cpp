#include "Exceptions.h"

#include <cstdio>

CString COleException::GetErrorMessage() const {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(m_sc) & 0xFFFFFFFFul);
    return CString(u"System error ") + CString::FromUtf8(text);
}
