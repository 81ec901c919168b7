#include "WholeFiles.h"

#include "NarrowPath.h"

#include "platform/System.h"

#include <cerrno>

namespace {

int Put(const CString& target, const std::vector<unsigned char>& bytes,
        int (*giveName)(const CString& from, const CString& to)) {
    // Beside the target, so the last step is a rename within one folder; "x.dsn.tmp" is no "*.dsn".
    const CString temporary = target + u".tmp";
    int error = sys::WriteNewFile(NarrowPath(temporary, sys::kThreadAnsiCodePage).c_str(), bytes);
    if (error == 0)
        error = giveName(temporary, target);
    if (error != 0)
        RemoveFile(temporary);
    return error;
}

}  // namespace

int PutInPlace(const CString& target, const std::vector<unsigned char>& bytes) {
    return Put(target, bytes, sys::ReplaceFile);
}

int PutNew(const CString& target, const std::vector<unsigned char>& bytes) {
    return Put(target, bytes, sys::Rename);
}

CString InFolder(const CString& folder, const CString& name) {
    return folder + u"\\" + name;
}

int RemoveFile(const CString& path) {
    return sys::UnlinkNarrow(NarrowPath(path, sys::kThreadAnsiCodePage).c_str());
}

int WhyUnreadable(const CString& path) {
    if (!sys::PathExists(path))
        return ENOENT;
    return sys::IsDirectory(path) ? EISDIR : EACCES;
}
