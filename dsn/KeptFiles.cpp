#include "KeptFiles.h"

#include "platform/System.h"

#include <cerrno>

namespace {

// More kept copies of one file than a site makes in its life.
constexpr int kMostKept = 999;

CString KeptName(const CString& path, int number) {
    return CString::Format(u"%s.%d", {path, number});
}

}  // namespace

int KeepAside(const CString& path, CString& keptPath) {
    for (int number = 1; number <= kMostKept; ++number) {
        const CString candidate = KeptName(path, number);
        if (sys::PathExists(candidate))
            continue;
        const int error = sys::Rename(path, candidate);
        if (error == 0)
            keptPath = candidate;
        return error;
    }
    return EEXIST;
}

std::optional<CString> LastKept(const CString& path) {
    std::optional<CString> last;
    for (int number = 1; number <= kMostKept; ++number) {
        const CString candidate = KeptName(path, number);
        if (sys::PathExists(candidate))
            last = candidate;
    }
    return last;
}

bool SameFileContent(const CString& a, const CString& b) {
    const auto first = sys::ReadWholeFile(a);
    return first && first == sys::ReadWholeFile(b);
}
