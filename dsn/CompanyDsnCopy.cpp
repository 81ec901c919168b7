// Copies the company DSN files beside the tool into the installation folder.
#include "CompanyDsnCopy.h"

#include "KeptFiles.h"
#include "WildcardMatch.h"

#include "platform/System.h"

namespace {

// The system DSN matches the company pattern too; it is known by its name in any letter case,
// so the fresh tqsys.dsn of the installation folder is never overwritten.
bool IsSystemDsn(const CString& name) {
    return CString(name).MakeUpper().Find(u"TQSYS") >= 0;
}

bool SameContent(const CString& a, const CString& b) {
    const auto first = sys::ReadWholeFile(a);
    return first && first == sys::ReadWholeFile(b);
}

}  // namespace

CompanyDsnCopyResult CopyCompanyDsnFiles(CString sourceDir, CString targetDir) {
    CompanyDsnCopyResult result;
    for (const sys::DirectoryEntry& entry : sys::ListDirectory(sourceDir)) {
        if (!MatchesWildcard(u"tq????.dsn", entry.name) || IsSystemDsn(entry.name))
            continue;
        const CString target = targetDir + u"\\" + entry.name;
        if (!sys::PathIsMissing(target)) {
            if (SameContent(entry.fullPath, target))
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
