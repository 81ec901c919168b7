#include "SystemDsnFiles.h"

#include "NarrowPath.h"

#include "platform/ConnectString.h"
#include "platform/System.h"

CString SystemDsnBackupPath(const CString& installDir) {
    return installDir + u"\\tqsys.bak";
}

bool PointsAtVarnikTqsys(const CString& dsnPath) {
    const auto bytes = sys::ReadWholeFile(dsnPath);
    if (!bytes)
        return false;
    const auto database = ItemValue(ParseFileDsn(*bytes), u"DATABASE");
    return database && database->CompareNoCase(u"Varnik_tqsys") == 0;
}

int ReplaceFileSafely(const CString& folder, const CString& target, const std::vector<unsigned char>& bytes) {
    const CString temporary = folder + u"\\tqsys.tmp";
    const NarrowPath narrowTemporary(temporary, sys::kThreadAnsiCodePage);
    int error = sys::WriteNewFile(narrowTemporary.c_str(), bytes);
    if (error == 0)
        error = sys::ReplaceFile(temporary, target);
    if (error != 0)
        sys::UnlinkNarrow(narrowTemporary.c_str());
    return error;
}
