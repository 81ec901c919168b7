// What the running program is: the same on every back end, since both facts are fixed when it
// is built.
#include "System.h"

namespace sys {

CString ProgramVersion() {
    return CString::FromUtf8(DALTRIX_VERSION);
}

CString ProgramArchitecture() {
    return sizeof(void*) == 8 ? u"x64" : u"x86";
}

}  // namespace sys
