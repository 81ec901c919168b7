#include "WholeFiles.h"

#include "NarrowPath.h"

#include "platform/System.h"

namespace {

int Put(const CString& target, const std::vector<unsigned char>& bytes,
        int (*giveName)(const CString& from, const CString& to)) {
    // Beside the target, so the last step is a rename within one folder; "x.dsn.tmp" is no "*.dsn".
    const CString temporary = target + u".tmp";
    const NarrowPath narrowTemporary(temporary, sys::kThreadAnsiCodePage);
    int error = sys::WriteNewFile(narrowTemporary.c_str(), bytes);
    if (error == 0)
        error = giveName(temporary, target);
    if (error != 0)
        sys::UnlinkNarrow(narrowTemporary.c_str());
    return error;
}

}  // namespace

int PutInPlace(const CString& target, const std::vector<unsigned char>& bytes) {
    return Put(target, bytes, sys::ReplaceFile);
}

int PutNew(const CString& target, const std::vector<unsigned char>& bytes) {
    return Put(target, bytes, sys::Rename);
}
