// Puts the product back on its old system database: its own tqsys.dsn from tqsys.bak, and the
// company DSN files a run replaced and kept. Varnik_tqsys stays on the server.
#include "CompanyDsnCopy.h"
#include "KeptFiles.h"
#include "SystemDsnFiles.h"
#include "WildcardMatch.h"

#include "app/DaltrixDlg.h"
#include "app/LogFormats.h"

#include "platform/System.h"

#include <set>

namespace {

constexpr const char16_t* kRestoreQuestion =
    u"Vill du lägga tillbaka Varnik Löns egen tqsys.dsn från tqsys.bak?\n\nVarnik Lön använder då den gamla "
    u"systemdatabasen igen. Företagens DSN-filer som Daltrix sparade undan läggs också tillbaka. Databasen "
    u"Varnik_tqsys finns kvar på servern.";

bool WholeDigits(const CString& text) {
    if (text.IsEmpty())
        return false;
    for (char16_t ch : text.Str())
        if (ch < u'0' || ch > u'9')
            return false;
    return true;
}

// The company DSN files of the folder that have a kept copy ("tq0007.dsn.1"), by their own name.
std::set<std::u16string> FilesWithKeptCopies(const CString& folder) {
    std::set<std::u16string> names;
    for (const sys::DirectoryEntry& entry : sys::ListDirectory(folder)) {
        const int dot = entry.name.ReverseFind(u'.');
        const CString name = entry.name.Left(dot);
        const CString number = entry.name.Mid(dot + 1);
        if (dot > 0 && IsCompanyDsn(name) && WholeDigits(number))
            names.insert(name.Str());
    }
    return names;
}

}  // namespace

bool CDaltrixDlg::RestoreSystemDsn() {
    const CString installSysDsn = m_installDir + u"\\tqsys.dsn";
    const CString backup = SystemDsnBackupPath(m_installDir);
    if (!sys::PathExists(backup)) {
        AddLog(logfmt::kRestoreNoBackup, {m_installDir});
        return false;
    }
    // Only a file this tool wrote may go without a copy; the product's own never does.
    if (sys::PathExists(installSysDsn) && !WrittenByThisTool(installSysDsn)) {
        AddLog(logfmt::kRestoreNotOwn, {m_installDir});
        return false;
    }
    if (!Ask(kRestoreQuestion)) {
        AddLog(logfmt::kRestoreDeclined);
        return false;
    }
    AddLog(logfmt::kRestoringSystemDsn);
    // One step, so the folder always has a tqsys.dsn: this tool's, or the product's own again.
    if (const int error = sys::ReplaceFile(backup, installSysDsn)) {
        AddLog(logfmt::kCannotRename, {backup, error});
        return false;
    }
    PutKeptCompanyDsnFilesBack();
    AddLog(logfmt::kRestored);
    return true;
}

void CDaltrixDlg::PutKeptCompanyDsnFilesBack() {
    const CString toolDir = ToolFolder();
    for (const std::u16string& name : FilesWithKeptCopies(m_installDir)) {
        const CString target = m_installDir + u"\\" + name;
        const auto kept = LastKept(target);
        // The copy in place is the tool's own file, which stays beside the tool; anything else is kept.
        if (sys::PathExists(target) && !SameFileContent(target, toolDir + name)) {
            CString keptAs;
            if (const int error = KeepAside(target, keptAs)) {
                AddLog(logfmt::kCannotRename, {target, error});
                continue;
            }
            AddLog(logfmt::kCompanyDsnKept, {CString(name), keptAs});
        }
        if (const int error = sys::ReplaceFile(*kept, target))
            AddLog(logfmt::kCannotRename, {*kept, error});
        else
            AddLog(logfmt::kNamedBack, {*kept, CString(name)});
    }
}
