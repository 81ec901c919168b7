#include "SystemDsnFiles.h"

#include "NarrowPath.h"
#include "SystemDsnWriter.h"

#include "conversion/ConnectionAnalysis.h"

#include "platform/ConnectString.h"
#include "platform/System.h"

CString SystemDsnBackupPath(const CString& installDir) {
    return installDir + u"\\tqsys.bak";
}

bool WrittenByThisTool(const CString& dsnPath) {
    const auto bytes = sys::ReadWholeFile(dsnPath);
    if (!bytes)
        return false;
    const ConnectItems items = ParseFileDsn(*bytes);
    const auto trusted = ItemValue(items, u"TRUSTED_CONNECTION");
    ConnectItems encryption;
    for (const auto& item : items)
        if (IsEncryptionKey(item.first))
            encryption.push_back(item);
    const auto own = SystemDsnBytes(ComposeSystemDsn(ItemValue(items, u"DRIVER").value_or(CString()),
                                                     ItemValue(items, u"SERVER").value_or(CString()),
                                                     trusted && *trusted == CString(u"YES"), encryption));
    return own && *own == *bytes;
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
