// The company DSN files beside the tool, copied into the installation folder.
#pragma once

#include "platform/CString.h"

#include <utility>
#include <vector>

struct CompanyDsnCopyResult {
    // A file of the target folder that differed from the one copied over it, and where it is kept.
    std::vector<std::pair<CString, CString>> kept;
    // A file that was not copied, and the system's reason.
    std::vector<std::pair<CString, CString>> failed;
};

// True for a company DSN file's name by the pattern tq????.dsn (Windows' rules), the system DSN
// excepted: it matches too, and is known by its name in any letter case.
bool IsCompanyDsn(const CString& name);

// Copies the company DSN files of `sourceDir` (tq????.dsn, the system DSN excepted) into
// `targetDir`, each put in place whole; a file there that differs is first kept under a kept name
// and noted in the record, and one that is the same is left.
CompanyDsnCopyResult CopyCompanyDsnFiles(CString sourceDir, CString targetDir);
