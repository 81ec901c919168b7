// Copies the company DSN files beside the tool into the installation folder.
#include "CompanyDsnCopy.h"

#include "KeptFiles.h"
#include "WildcardMatch.h"

#include "platform/System.h"

bool IsCompanyDsn(const CString& name) {
    return MatchesWildcard(u"tq????.dsn", name) && CString(name).MakeUpper().Find(u"TQSYS") < 0;
}

CompanyDsnCopyResult CopyCompanyDsnFiles(CString sourceDir, CString targetDir) {
    CompanyDsnCopyResult result;
    for (const sys::DirectoryEntry& entry : sys::ListDirectory(sourceDir)) {
        if (!IsCompanyDsn(entry.name))
            continue;
        const CString target = targetDir + u"\\" + entry.name;
        if (!sys::PathIsMissing(target)) {
            if (SameFileContent(entry.fullPath, target))
                continue;
            // The installation's own file is never overwritten without a copy.
            CString kept;
            if (const int error = KeepAside(target, kept)) {
                result.failed.emplace_back(entry.name, sys::ErrorNumberText(error));
                continue;
            }
            result.kept.emplace_back(entry.name, kept);
        }
        if (auto reason = sys::CopyFile(entry.fullPath, target))
            result.failed.emplace_back(entry.name, std::move(*reason));
    }
    return result;
}
