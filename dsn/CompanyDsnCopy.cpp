// Copies the company DSN files beside the tool into the installation folder.
#include "CompanyDsnCopy.h"

#include "KeptFiles.h"
#include "WholeFiles.h"
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
        const auto bytes = sys::ReadWholeFile(entry.fullPath);
        if (!bytes) {
            result.failed.emplace_back(entry.name, sys::ErrorNumberText(WhyUnreadable(entry.fullPath)));
            continue;
        }
        const CString target = InFolder(targetDir, entry.name);
        if (!sys::PathIsMissing(target)) {
            if (sys::ReadWholeFile(target) == bytes)
                continue;
            // The installation's own file is never overwritten without a copy.
            const Kept kept = KeepCopy(targetDir, entry.name, true);
            if (kept.error) {
                result.failed.emplace_back(entry.name, sys::ErrorNumberText(kept.error));
                continue;
            }
            result.kept.emplace_back(entry.name, InFolder(targetDir, kept.entry.kept));
        }
        // Whole or not at all: the product never finds a company file cut short.
        if (const int error = PutInPlace(target, *bytes))
            result.failed.emplace_back(entry.name, sys::ErrorNumberText(error));
    }
    return result;
}
