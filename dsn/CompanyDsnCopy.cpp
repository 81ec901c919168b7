// Copies the company DSN files beside the tool into the installation folder.
#include "WildcardMatch.h"

#include "app/DaltrixDlg.h"

#include "platform/System.h"

namespace {

// The system DSN matches the company pattern too; it is known by its name in any letter case,
// so the fresh tqsys.dsn of the installation folder is never overwritten.
bool IsSystemDsn(const CString& name) {
    return CString(name).MakeUpper().Find(u"TQSYS") >= 0;
}

}  // namespace

bool CopyCompanyDsnFiles(CString sourceDir, CString targetDir) {
    bool result = true;
    for (const sys::DirectoryEntry& entry : sys::ListDirectory(sourceDir)) {
        if (!MatchesWildcard(u"tq????.dsn", entry.name) || IsSystemDsn(entry.name))
            continue;
        if (!sys::CopyFile(entry.fullPath, targetDir + u"\\" + entry.name))
            result = false;
    }
    return result;
}
