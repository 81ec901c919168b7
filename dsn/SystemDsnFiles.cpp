#include "SystemDsnFiles.h"

#include "SystemDsnWriter.h"

#include "conversion/ConnectionAnalysis.h"

#include "platform/ConnectString.h"
#include "platform/System.h"

CString SystemDsnBackupPath(const CString& installDir) {
    return installDir + u"\\" + kSystemDsnBackupName;
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
